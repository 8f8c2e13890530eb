-- Demo source: the older edition's database, whose junior-high districts are
-- the ones the newer edition should carry.
CREATE TABLE 棟マスタ (
  棟番号   INTEGER,
  棟名称   TEXT,
  小学校区 TEXT,
  中学校区 TEXT
);
INSERT INTO 棟マスタ VALUES
  (101, '青葉ハイツ',       '旧青葉小学校', '青葉中学校'),
  (102, '桜ヶ丘マンション', '旧桜小学校',   '桜ヶ丘中学校'),
  (103, 'みどり荘',         '旧緑小学校',   '緑中学校'),
  (104, '港南レジデンス',   '旧港南小学校', NULL),
  (105, '東町コーポ',       '旧東町小学校', '東中学校'),
  (105, '東町コーポ',       '旧東町小学校', '東町第二中学校'),
  (999, '解体済み棟',       '旧北小学校',   '北中学校');
