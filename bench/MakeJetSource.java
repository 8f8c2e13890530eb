// Writes the benchmark's Access files: a Jet 4 (Access 2000 format) file
// whose 棟マスタ holds the rows of a tab-separated UTF-8 file, in its order.
//
//   java MakeJetSource [--target] ROWS.tsv OUT.mdb
//
// A source by default; with --target, a target shaped as the revision finds
// one: 棟番号 Long (whole keys only), every Text column Text(50).
//
// Each line is 棟番号, 棟名称, 小学校区, 中学校区; "\N" is Null, and "\\",
// "\t", "\n", "\r" stand for themselves. tou-bench compiles and runs this
// with Jackcess; the file comes out without a password, which tou-bench then
// writes into its header itself.

import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.Database.FileFormat;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.IndexBuilder;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.BufferedReader;
import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

public class MakeJetSource {
    static final String KEY = "棟番号";
    static final int BATCH = 1000;

    public static void main(String[] args) throws IOException {
        boolean target = args.length == 3 && args[0].equals("--target");
        if (args.length != (target ? 3 : 2)) {
            System.err.println("usage: java MakeJetSource [--target] ROWS.tsv OUT.mdb");
            System.exit(2);
        }
        String rows = args[args.length - 2];
        File out = new File(args[args.length - 1]);
        out.delete();
        // Syncing after every batch only slows the writing down.
        try (Database db = new DatabaseBuilder(out).setFileFormat(FileFormat.V2000).setAutoSync(false).create();
             BufferedReader in = Files.newBufferedReader(Paths.get(rows), StandardCharsets.UTF_8)) {
            // A source's key is Double, so that Null and fractional keys
            // survive as they are. Text columns compressed as Access makes
            // them by default (it changes nothing for Japanese values); a
            // non-unique index on the key as both editions' tables have one.
            Table t = new TableBuilder("棟マスタ")
                    .addColumn(new ColumnBuilder(KEY, target ? DataType.LONG : DataType.DOUBLE))
                    .addColumn(text("棟名称", 50))
                    .addColumn(text("小学校区", 50))
                    .addColumn(text("中学校区", target ? 50 : 255))
                    .addIndex(new IndexBuilder(KEY).addColumns(KEY))
                    .toTable(db);
            List<Object[]> batch = new ArrayList<>(BATCH);
            String line;
            long number = 0;
            while ((line = in.readLine()) != null) {
                ++number;
                String[] f = line.split("\t", -1);
                if (f.length != 4) {
                    throw new IOException("line " + number + ": " + f.length + " fields, 4 expected");
                }
                String key = unescape(f[0]);
                Object value = key == null ? null : target ? (Object) Integer.valueOf(key) : (Object) Double.valueOf(key);
                batch.add(new Object[] {value, unescape(f[1]), unescape(f[2]),
                                        unescape(f[3])});
                if (batch.size() == BATCH) {
                    t.addRows(batch);
                    batch.clear();
                }
            }
            t.addRows(batch);
        }
    }

    static ColumnBuilder text(String name, int length) {
        return new ColumnBuilder(name, DataType.TEXT).setLengthInUnits(length).setCompressedUnicode(true);
    }

    static String unescape(String field) {
        if (field.equals("\\N")) {
            return null;
        }
        if (field.indexOf('\\') < 0) {
            return field;
        }
        StringBuilder sb = new StringBuilder(field.length());
        for (int i = 0; i < field.length(); ++i) {
            char c = field.charAt(i);
            if (c != '\\' || i + 1 == field.length()) {
                sb.append(c);
                continue;
            }
            char e = field.charAt(++i);
            sb.append(e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e);
        }
        return sb.toString();
    }
}
