// Gives the two files Access itself saved (access-samples/) a 棟マスタ to
// revise: 300 rows packed as Jackcess packs them, keys 1-300, 中学校区
// "未設定", a non-unique index on 棟番号. Everything Access wrote stays.
//
//   java MakeSampleTargets SAMPLE.mdb OUT.mdb
//
// Run through make-sample-targets, which also sets the target password.
import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.IndexBuilder;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.File;
import java.nio.file.Files;
import java.nio.file.StandardCopyOption;

public class MakeSampleTargets {
    public static void main(String[] args) throws Exception {
        File out = new File(args[1]);
        Files.copy(new File(args[0]).toPath(), out.toPath(), StandardCopyOption.REPLACE_EXISTING);
        try (Database db = new DatabaseBuilder(out).open()) {
            Table t = new TableBuilder("棟マスタ")
                    .addColumn(new ColumnBuilder("棟番号", DataType.LONG))
                    .addColumn(new ColumnBuilder("小学校区", DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addColumn(new ColumnBuilder("中学校区", DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addIndex(new IndexBuilder("棟番号").addColumns("棟番号"))
                    .toTable(db);
            for (int key = 1; key <= 300; ++key)
                t.addRow(key, "北小学校区", "未設定");
        }
    }
}
