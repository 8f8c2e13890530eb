// The revision done by Jackcess, to compare the target writer against: for
// each source row in order, the first target row with its 棟番号 (found
// through the key's index) takes the row's 中学校区.
//
//   java JackcessRevise ROWS.tsv TARGET.mdb
//
// ROWS.tsv is the source as tou-bench writes it for MakeJetSource (only the
// first and last fields are used; keys must be whole numbers). Prints one
// line, "seconds=S revised=R notfound=M vmhwm_kib=K": S times the row loop
// and the final flush (the JVM's start and the file's opening left out), K
// is the process's peak resident memory after closing.

import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.Index;
import com.healthmarketscience.jackcess.IndexCursor;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;

import java.io.BufferedReader;
import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.List;

public class JackcessRevise {
    static final String KEY = "棟番号";
    static final String JUNIOR = "中学校区";

    public static void main(String[] args) throws IOException {
        if (args.length != 2) {
            System.err.println("usage: java JackcessRevise ROWS.tsv TARGET.mdb");
            System.exit(2);
        }
        long revised = 0, notFound = 0;
        double seconds;
        // Syncing after every update would time the disk, not Jackcess: one
        // flush at the end, inside the timing, as the writer replaces its file once.
        try (Database db = new DatabaseBuilder(new File(args[1])).setAutoSync(false).open();
             BufferedReader in = Files.newBufferedReader(Paths.get(args[0]), StandardCharsets.UTF_8)) {
            Table t = db.getTable("棟マスタ");
            IndexCursor cursor = CursorBuilder.createCursor(keyIndex(t));
            // Read as it goes, as the revision reads its source: holding a
            // million rows first would count in the JVM's peak.
            long start = System.nanoTime();
            String line;
            long number = 0;
            while ((line = in.readLine()) != null) {
                ++number;
                String[] f = line.split("\t", -1);
                if (f.length != 4) {
                    throw new IOException("line " + number + ": " + f.length + " fields, 4 expected");
                }
                if (cursor.findFirstRowByEntry(Integer.valueOf(f[0]))) {
                    Row row = cursor.getCurrentRow();
                    row.put(JUNIOR, MakeJetSource.unescape(f[3]));
                    cursor.updateCurrentRowFromMap(row);
                    ++revised;
                } else {
                    ++notFound;
                }
            }
            db.flush();
            seconds = (System.nanoTime() - start) / 1e9;
        }
        System.out.printf("seconds=%.6f revised=%d notfound=%d vmhwm_kib=%d%n", seconds, revised, notFound, peakKiB());
    }

    // The index whose only column is the key.
    static Index keyIndex(Table t) throws IOException {
        for (Index index : t.getIndexes()) {
            List<? extends Index.Column> columns = index.getColumns();
            if (columns.size() == 1 && columns.get(0).getName().equals(KEY)) {
                return index;
            }
        }
        throw new IOException("no index on " + KEY);
    }

    static long peakKiB() throws IOException {
        for (String line : Files.readAllLines(Paths.get("/proc/self/status"))) {
            if (line.startsWith("VmHWM:")) {
                return Long.parseLong(line.substring(6).replace("kB", "").trim());
            }
        }
        return 0;
    }
}
