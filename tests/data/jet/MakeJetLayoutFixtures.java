// Writes the Jet 4 (.mdb) files that put the reader on page layouts the
// other files lack: rows moved off their page by an update, a usage map
// that starts past page 0, and a memo whose page chain is cut short.
//
//   java MakeJetLayoutFixtures OUT_DIR
//
// Run through make-layout-fixtures, which then patches two of the files
// (this library never writes those layouts itself). The rows written here
// are listed in README.md; keep the two in step.

import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.Database.FileFormat;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.IndexBuilder;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.File;
import java.io.IOException;
import java.util.Map;

public class MakeJetLayoutFixtures {
    static final String TABLE = "棟マスタ";
    static final String KEY = "棟番号";
    static final String ELEMENTARY = "小学校区";
    static final String JUNIOR = "中学校区";
    static final String IROHA = "いろはにほへとちりぬるをわかよたれそつねならむうゐのおくやまけふこえてあさきゆめみしゑひもせす";

    public static void main(String[] args) throws IOException {
        if (args.length != 1) {
            System.err.println("usage: java MakeJetLayoutFixtures OUT_DIR");
            System.exit(2);
        }
        File out = new File(args[0]);
        out.mkdirs();
        overflowRows(new File(out, "overflow-rows-v2000.mdb"));
        inlineMap(new File(out, "inline-map-start-v2000.mdb"));
        memoChain(new File(out, "memo-chain-cut-v2000.mdb"));
    }

    static Database create(File f) throws IOException {
        f.delete();
        return new DatabaseBuilder(f).setFileFormat(FileFormat.V2000).create();
    }

    // `chars` characters of the iroha from position `from` on.
    static String iroha(int from, int chars) {
        StringBuilder sb = new StringBuilder();
        for (int i = 0; i < chars; ++i) {
            sb.append(IROHA.charAt((from + i) % IROHA.length()));
        }
        return sb.toString();
    }

    static void update(Table t, int key, String junior) throws IOException {
        Row r = CursorBuilder.findRow(t, Map.of(KEY, key));
        if (r == null) {
            throw new IllegalStateException("no row " + key);
        }
        r.put(JUNIOR, junior);
        t.updateRow(r);
    }

    // Forty rows of 60-character districts fill one data page and spill onto
    // a second. Growing a row of the full first page to 255 characters moves
    // its bytes to another page, leaving a pointer in its slot; growing a
    // row twice moves it twice and leaves its first copy behind, deleted.
    static void overflowRows(File f) throws IOException {
        try (Database db = create(f)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(new ColumnBuilder(ELEMENTARY, DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addColumn(new ColumnBuilder(JUNIOR, DataType.TEXT).setLengthInUnits(255))
                    .addIndex(new IndexBuilder(KEY).addColumns(KEY))
                    .toTable(db);
            for (int i = 0; i < 40; ++i) {
                t.addRow(301 + i, "District-" + (301 + i), iroha(i, 60));
            }
            update(t, 302, "長" + iroha(0, 254));
            update(t, 305, "中" + iroha(5, 150));
            update(t, 305, "再" + iroha(5, 254));
        }
    }

    // Rows over two data pages. make-layout-fixtures rewrites the table's
    // page map in the form Access uses for small tables (the list inline,
    // starting at the table's first page) in place of this library's form
    // (a separate map page counting from page 0).
    static void inlineMap(File f) throws IOException {
        try (Database db = create(f)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(new ColumnBuilder(ELEMENTARY, DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(true))
                    .addColumn(new ColumnBuilder(JUNIOR, DataType.TEXT).setLengthInUnits(255))
                    .toTable(db);
            for (int i = 0; i < 40; ++i) {
                t.addRow(501 + i, "District-" + (501 + i), iroha(i, 60));
            }
        }
    }

    // A memo of 10,000 characters (20,000 bytes) kept on a chain of five
    // pages between two short ones. make-layout-fixtures zeroes the second
    // link's pointer to the third, so the chain ends after two of its five
    // pages, 8,144 of 20,000 bytes read.
    static void memoChain(File f) throws IOException {
        try (Database db = create(f)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(new ColumnBuilder(JUNIOR, DataType.MEMO).setCompressedUnicode(false))
                    .toTable(db);
            t.addRow(401, "第一中学校区");
            t.addRow(402, "始" + iroha(0, 9998) + "終");
            t.addRow(403, "第三中学校区");
        }
    }
}
