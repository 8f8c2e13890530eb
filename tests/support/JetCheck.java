// An independent, read-only check of one table of a Jet 4 file with
// Jackcess, so that a fault shared by the project's writer and its reader
// cannot hide itself:
//
//   java JetCheck FILE TABLE EXPECTED.tsv
//
// EXPECTED.tsv holds the table's rows in stored order, one a line, every
// column in table order as text, separated by tabs; "\N" is Null and
// backslash, tab, CR and LF are written "\\", "\t", "\r", "\n". Values read
// as below (valueText). Checks that
//   - a full scan gives exactly those rows, in that order;
//   - the row count in the table definition matches the scan;
//   - every index walks all rows in key order and passes Jackcess's own
//     structural validation (order, parent/child and sibling links);
//   - every row is found through each single-column index whose key
//     Jackcess can encode (any type but text: a text key's sort order may
//     be one Jackcess cannot write).
// Prints one line per finding; exit 0 when all hold, 1 when one does not
// (Jackcess refusing the file included), 2 for a wrong command line or a
// table the file lacks.

import com.healthmarketscience.jackcess.Column;
import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.Index;
import com.healthmarketscience.jackcess.IndexCursor;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.RowId;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.impl.IndexImpl;

import java.io.File;
import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

public class JetCheck {
    static final String NULL = "\\N";
    static final int MOST_REPORTED = 10;

    static int failures = 0;

    static void fail(String what) {
        ++failures;
        if (failures <= MOST_REPORTED) {
            System.out.println("FAIL: " + what);
        }
    }

    public static void main(String[] args) throws Exception {
        if (args.length != 3) {
            System.out.println("usage: java JetCheck FILE TABLE EXPECTED.tsv");
            System.exit(2);
        }
        List<List<String>> expected = readExpected(new File(args[2]));
        try (Database db = new DatabaseBuilder(new File(args[0])).setReadOnly(true).open()) {
            Table table = db.getTable(args[1]);
            if (table == null) {
                System.out.println("no table " + args[1]);
                System.exit(2);
            }
            check(table, expected);
        } catch (Exception e) {
            // Jackcess refuses what it finds inconsistent by throwing.
            fail("Jackcess: " + e);
        }
        if (failures > MOST_REPORTED) {
            System.out.println("... " + (failures - MOST_REPORTED) + " more");
        }
        System.out.println(failures == 0 ? "ok" : failures + " failure(s)");
        System.exit(failures == 0 ? 0 : 1);
    }

    static void check(Table table, List<List<String>> expected) throws Exception {
        List<? extends Column> columns = table.getColumns();
        List<Row> rows = new ArrayList<>();
        for (Row r : CursorBuilder.createCursor(table)) {
            rows.add(r);
        }
        System.out.println(rows.size() + " rows scanned, " + table.getIndexes().size() + " index(es)");

        for (int i = 0; i < Math.max(rows.size(), expected.size()); ++i) {
            List<String> got = i < rows.size() ? texts(columns, rows.get(i)) : null;
            List<String> want = i < expected.size() ? expected.get(i) : null;
            if (got == null || want == null || !got.equals(want)) {
                fail("row " + i + ": expected " + want + ", read " + got);
            }
        }
        if (table.getRowCount() != rows.size()) {
            fail("the definition counts " + table.getRowCount() + " rows, the scan " + rows.size());
        }

        Set<RowId> scanned = new HashSet<>();
        for (Row r : rows) {
            scanned.add(r.getId());
        }
        for (Index index : table.getIndexes()) {
            checkIndex(index, rows, scanned);
        }
    }

    static void checkIndex(Index index, List<Row> rows, Set<RowId> scanned) throws Exception {
        String name = "index " + index.getName();
        ((IndexImpl) index).getIndexData().validate(true);

        // Reading the index's pages throws on entries out of order; the
        // entries must also name exactly the rows the scan found.
        Set<RowId> walked = new HashSet<>();
        int entries = 0;
        for (Row r : CursorBuilder.createCursor(index)) {
            ++entries;
            if (!walked.add(r.getId())) {
                fail(name + ": row " + r.getId() + " twice");
            }
        }
        if (entries != rows.size() || !walked.equals(scanned)) {
            fail(name + ": " + entries + " entries for " + rows.size() + " rows, or other rows than the scan's");
        }

        if (index.getColumnCount() != 1) {
            return;
        }
        Column key = index.getColumns().get(0).getColumn();
        if (key.getType() == DataType.TEXT || key.getType() == DataType.MEMO) {
            return;
        }
        for (Row r : rows) {
            Object value = r.get(key.getName());
            if (CursorBuilder.findRowByEntry(index, value) == null) {
                fail(name + ": no row found for key " + value);
                continue;
            }
            // Keys may repeat: the row must be among those the key finds.
            IndexCursor range = CursorBuilder.createCursor(index, new Object[] {value}, true, new Object[] {value}, true);
            boolean found = false;
            for (Row hit : range) {
                found |= hit.getId().equals(r.getId());
            }
            if (!found) {
                fail(name + ": key " + value + " does not lead to row " + r.getId());
            }
        }
        System.out.println(name + ": " + entries + " entries, every row found by its key");
    }

    static List<String> texts(List<? extends Column> columns, Row row) {
        List<String> out = new ArrayList<>();
        for (Column c : columns) {
            Object v = row.get(c.getName());
            out.add(v == null ? null : valueText(v));
        }
        return out;
    }

    // Null stays null in the lists compared, apart from every text.
    // Whole numbers in decimal, Double/Single as Java prints them (101.0),
    // Currency/Decimal in plain notation, Yes/No as true/false, dates as
    // their ISO text, binary as lower-case hex; text as it is.
    static String valueText(Object v) {
        if (v instanceof BigDecimal) {
            return ((BigDecimal) v).toPlainString();
        }
        if (v instanceof byte[]) {
            StringBuilder sb = new StringBuilder();
            for (byte b : (byte[]) v) {
                sb.append(String.format("%02x", b & 0xFF));
            }
            return sb.toString();
        }
        return v.toString();
    }

    static List<List<String>> readExpected(File f) throws Exception {
        List<List<String>> rows = new ArrayList<>();
        for (String line : Files.readAllLines(f.toPath(), StandardCharsets.UTF_8)) {
            List<String> row = new ArrayList<>();
            for (String field : line.split("\t", -1)) {
                row.add(field.equals(NULL) ? null : unescape(field));
            }
            rows.add(row);
        }
        return rows;
    }

    static String unescape(String s) {
        StringBuilder sb = new StringBuilder();
        for (int i = 0; i < s.length(); ++i) {
            char c = s.charAt(i);
            if (c != '\\' || i + 1 == s.length()) {
                sb.append(c);
                continue;
            }
            char e = s.charAt(++i);
            sb.append(e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e);
        }
        return sb.toString();
    }
}
