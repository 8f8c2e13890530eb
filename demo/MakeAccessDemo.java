// Writes the Access (Jet 4, Access 2000) demo databases: the same rows as
// Q4ProDB.sql (source) and Q5ProDB.sql (target), as the two editions' users
// hold them. Run by demo/make-access-demo; the files it makes are committed.
import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.File;

public class MakeAccessDemo {
    static Table buildings(Database db, boolean withFloors) throws Exception {
        TableBuilder b = new TableBuilder("棟マスタ")
                .addColumn(new ColumnBuilder("棟番号", DataType.LONG))
                .addColumn(new ColumnBuilder("棟名称", DataType.TEXT).setLengthInUnits(50))
                .addColumn(new ColumnBuilder("小学校区", DataType.TEXT).setLengthInUnits(50))
                .addColumn(new ColumnBuilder("中学校区", DataType.TEXT).setLengthInUnits(50));
        if (withFloors)
            b.addColumn(new ColumnBuilder("階数", DataType.LONG));
        b.addIndex(new com.healthmarketscience.jackcess.IndexBuilder("棟番号").addColumns("棟番号"));
        return b.toTable(db);
    }

    public static void main(String[] args) throws Exception {
        File out = new File(args[0]);
        out.mkdirs();
        try (Database db = new DatabaseBuilder(new File(out, "Q4ProDB.mdb"))
                .setFileFormat(Database.FileFormat.V2000).create()) {
            Table t = buildings(db, false);
            t.addRow(101, "青葉ハイツ", "旧青葉小学校", "青葉中学校");
            t.addRow(102, "桜ヶ丘マンション", "旧桜小学校", "桜ヶ丘中学校");
            t.addRow(103, "みどり荘", "旧緑小学校", "緑中学校");
            t.addRow(104, "港南レジデンス", "旧港南小学校", null);
            t.addRow(105, "東町コーポ", "旧東町小学校", "東中学校");
            t.addRow(105, "東町コーポ", "旧東町小学校", "東町第二中学校");
            t.addRow(999, "解体済み棟", "旧北小学校", "北中学校");
        }
        try (Database db = new DatabaseBuilder(new File(out, "Q5ProDB.mdb"))
                .setFileFormat(Database.FileFormat.V2000).create()) {
            Table t = buildings(db, true);
            t.addRow(101, "青葉ハイツ", "青葉小学校", "未設定", 3);
            t.addRow(102, "桜ヶ丘マンション", "桜小学校", "未設定", 5);
            t.addRow(103, "みどり荘", "緑小学校", "未設定", 2);
            t.addRow(103, "みどり荘別館", "緑小学校", "未設定", 2);
            t.addRow(104, "港南レジデンス", "港南小学校", "未設定", 12);
            t.addRow(105, "東町コーポ", "東町小学校", "未設定", 4);
            t.addRow(200, "新築棟（Q5のみ）", "西小学校", "未設定", 8);
            Table rooms = new TableBuilder("部屋マスタ")
                    .addColumn(new ColumnBuilder("棟番号", DataType.LONG))
                    .addColumn(new ColumnBuilder("部屋番号", DataType.TEXT).setLengthInUnits(10))
                    .addColumn(new ColumnBuilder("面積", DataType.DOUBLE))
                    .toTable(db);
            rooms.addRow(101, "101", 45.5);
            rooms.addRow(101, "102", 52.0);
            rooms.addRow(104, "1201", 80.25);
        }
    }
}
