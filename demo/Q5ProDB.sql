-- Demo target: the newer edition's database. Its junior-high districts are
-- still placeholders that a revision from the older edition fills in.
CREATE TABLE 棟マスタ (
  棟番号   INTEGER,
  棟名称   TEXT,
  小学校区 TEXT,
  中学校区 TEXT,
  階数     INTEGER
);
CREATE INDEX 棟マスタ_棟番号 ON 棟マスタ (棟番号);
INSERT INTO 棟マスタ VALUES
  (101, '青葉ハイツ',     '青葉小学校', '未設定', 3),
  (102, '桜ヶ丘マンション', '桜小学校',   '未設定', 5),
  (103, 'みどり荘',       '緑小学校',   '未設定', 2),
  (103, 'みどり荘別館',   '緑小学校',   '未設定', 2),
  (104, '港南レジデンス', '港南小学校', '未設定', 12),
  (105, '東町コーポ',     '東町小学校', '未設定', 4),
  (200, '新築棟（Q5のみ）', '西小学校', '未設定', 8);
CREATE TABLE 部屋マスタ (
  棟番号 INTEGER,
  部屋番号 TEXT,
  面積 REAL
);
INSERT INTO 部屋マスタ VALUES (101, '101', 45.5), (101, '102', 52.0), (104, '1201', 80.25);
