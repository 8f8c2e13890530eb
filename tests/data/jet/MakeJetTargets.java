// Writes the Jet 4 (.mdb) files the target writer is tested against: tables
// packed as Access packs them (full pages, 中学校区 "未設定" so that every
// revision makes a row grow), rows Jackcess moved to another page, deleted
// rows, and the column properties the writer must respect.
//
//   java MakeJetTargets OUT_DIR
//
// Run through make-targets, which also sets the database password. The rows
// written here are listed in README.md; keep the two in step.

import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.Cursor;
import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.Database.FileFormat;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.IndexBuilder;
import com.healthmarketscience.jackcess.PropertyMap;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.File;
import java.io.IOException;
import java.util.Collections;

public class MakeJetTargets {
    static final String TABLE = "棟マスタ";
    static final String KEY = "棟番号";
    static final String ELEMENTARY = "小学校区";
    static final String JUNIOR = "中学校区";

    public static void main(String[] args) throws IOException {
        if (args.length != 1) {
            System.err.println("usage: java MakeJetTargets OUT_DIR");
            System.exit(2);
        }
        File out = new File(args[0]);
        out.mkdirs();
        packed(new File(out, "target-v2000.mdb"), FileFormat.V2000);
        packed(new File(out, "target-v2003.mdb"), FileFormat.V2003);
        indexed(new File(out, "target-indexed-v2000.mdb"));
        strict(new File(out, "target-strict-v2000.mdb"));
    }

    static Database create(File f, FileFormat format) throws IOException {
        f.delete();
        return new DatabaseBuilder(f).setFileFormat(format).create();
    }

    static ColumnBuilder junior(int chars, boolean compressed, boolean required, boolean allowZeroLength) {
        return new ColumnBuilder(JUNIOR, DataType.TEXT).setLengthInUnits(chars).setCompressedUnicode(compressed)
                .putProperty(PropertyMap.REQUIRED_PROP, required)
                .putProperty(PropertyMap.ALLOW_ZERO_LEN_PROP, allowZeroLength);
    }

    static Row find(Table t, int key) throws IOException {
        return CursorBuilder.findRow(t, Collections.singletonMap(KEY, (Object) key));
    }

    // 400 rows, keys 1-400 ("未設定" each), packed onto full pages, then:
    // key 5 and 150 deleted; key 7 Null and key 8 "" in 中学校区; key 20 again
    // as row 401 ("重複"); keys 10 and 130 grown to "青葉中学校区西部分室" after
    // their pages filled, so Jackcess moved them to another page.
    static void packed(File f, FileFormat format) throws IOException {
        try (Database db = create(f, format)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(new ColumnBuilder(ELEMENTARY, DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addColumn(junior(50, true, false, true))
                    .addIndex(new IndexBuilder(KEY).addColumns(KEY))
                    .toTable(db);
            for (int k = 1; k <= 400; ++k)
                t.addRow(k, "北小学校区", k == 7 ? null : k == 8 ? "" : "未設定");
            t.addRow(20, "北小学校区", "重複");
            t.deleteRow(find(t, 5));
            t.deleteRow(find(t, 150));
            for (int k : new int[] {10, 130}) {
                Row r = find(t, k);
                r.put(JUNIOR, "青葉中学校区西部分室");
                t.updateRow(r);
            }
        }
    }

    // 中学校区 in an index of its own: the writer must refuse it.
    static void indexed(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(new ColumnBuilder(ELEMENTARY, DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addColumn(junior(50, true, false, true))
                    .addIndex(new IndexBuilder(KEY).addColumns(KEY))
                    .addIndex(new IndexBuilder(JUNIOR).addColumns(JUNIOR))
                    .toTable(db);
            for (int k = 1; k <= 10; ++k)
                t.addRow(k, "北小学校区", "未設定");
        }
    }

    // 中学校区 Text(10), uncompressed, Required, no zero-length values.
    static void strict(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(new ColumnBuilder(ELEMENTARY, DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addColumn(junior(10, false, true, false))
                    .toTable(db);
            for (int k = 1; k <= 10; ++k)
                t.addRow(k, "北小学校区", "未設定");
        }
    }
}
