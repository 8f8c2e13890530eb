// Writes the Jet 4 (.mdb) files the source reader is tested against.
//
//   java MakeJetFixtures OUT_DIR
//
// Run through make-fixtures, which also sets the database passwords (this
// library writes files without one) and copies the main file under the
// names that differ only in their password. The rows written here are
// listed in README.md; keep the two in step.

import com.healthmarketscience.jackcess.ColumnBuilder;
import com.healthmarketscience.jackcess.CursorBuilder;
import com.healthmarketscience.jackcess.DataType;
import com.healthmarketscience.jackcess.Database;
import com.healthmarketscience.jackcess.Database.FileFormat;
import com.healthmarketscience.jackcess.DatabaseBuilder;
import com.healthmarketscience.jackcess.DateTimeType;
import com.healthmarketscience.jackcess.IndexBuilder;
import com.healthmarketscience.jackcess.Row;
import com.healthmarketscience.jackcess.Table;
import com.healthmarketscience.jackcess.TableBuilder;

import java.io.File;
import java.io.IOException;
import java.math.BigDecimal;
import java.time.LocalDateTime;
import java.util.Map;

public class MakeJetFixtures {
    static final String TABLE = "棟マスタ";
    static final String KEY = "棟番号";
    static final String NAME = "棟名";
    static final String ELEMENTARY = "小学校区";
    static final String JUNIOR = "中学校区";

    // 20,000 characters: "始", then the iroha cycled, then "終", so a reader
    // that drops or repeats a page of the value changes the count or the ends.
    static final String IROHA = "いろはにほへとちりぬるをわかよたれそつねならむうゐのおくやまけふこえてあさきゆめみしゑひもせす";
    static final int LONG_MEMO_CHARS = 20000;

    public static void main(String[] args) throws IOException {
        if (args.length != 1) {
            System.err.println("usage: java MakeJetFixtures OUT_DIR");
            System.exit(2);
        }
        File out = new File(args[0]);
        out.mkdirs();

        longKey(new File(out, "source-long-v2000.mdb"), FileFormat.V2000);
        longKey(new File(out, "source-long-v2003.mdb"), FileFormat.V2003);
        doubleKey(new File(out, "double-key-v2000.mdb"));
        doubleKeyBeyondLong(new File(out, "double-key-beyond-long-v2000.mdb"));
        textKey(new File(out, "text-key-v2000.mdb"));
        currencyKey(new File(out, "currency-key-v2000.mdb"));
        integerKey(new File(out, "integer-key-v2000.mdb"));
        longMemo(new File(out, "long-memo-v2000.mdb"));
        emptyTable(new File(out, "empty-table-v2000.mdb"));
        noTable(new File(out, "no-tou-master-v2000.mdb"));
        allTypes(new File(out, "all-types-v2000.mdb"));
    }

    static Database create(File f, FileFormat format) throws IOException {
        f.delete();
        Database db = new DatabaseBuilder(f).setFileFormat(format).create();
        // Dates go in and come out as written, with no time-zone shift.
        db.setDateTimeType(DateTimeType.LOCAL_DATE_TIME);
        return db;
    }

    // A text column of 50 characters; `compressed` picks Jet 4's one-byte
    // storage for values that fit it (only all-Latin-1 values do).
    static ColumnBuilder text(String name, boolean compressed) {
        return new ColumnBuilder(name, DataType.TEXT).setLengthInUnits(50).setCompressedUnicode(compressed);
    }

    // The key columns differ per file; the school-district columns do not.
    // 小学校区 is compressed and 中学校区 is not, so both storages are read.
    static Table touMaster(Database db, DataType keyType) throws IOException {
        return new TableBuilder(TABLE)
                .addColumn(new ColumnBuilder(KEY, keyType))
                .addColumn(text(ELEMENTARY, true))
                .addColumn(text(JUNIOR, false))
                .toTable(db);
    }

    static void deleteWhere(Table t, String column, Object value) throws IOException {
        Row r = CursorBuilder.findRow(t, Map.of(column, value));
        if (r == null) {
            throw new IllegalStateException("no row to delete: " + value);
        }
        t.deleteRow(r);
    }

    // The main case, shaped like the source edition's table: a Long key with
    // an index on it, a building name, and the two districts.
    static void longKey(File f, FileFormat format) throws IOException {
        try (Database db = create(f, format)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(text(NAME, true))
                    .addColumn(text(ELEMENTARY, true))
                    .addColumn(text(JUNIOR, false))
                    .addIndex(new IndexBuilder(KEY).addColumns(KEY))
                    .toTable(db);
            t.addRow(101, "A-101", "第一小学校区", "第一中学校区");
            t.addRow(102, "B-102", "第一小学校区", "第二中学校区");
            t.addRow(-3, "負の番号", "南小学校区", "南中学校区");
            t.addRow(0, "Zero", "Minami-sho", "Minami-chu");
            t.addRow(103, "削除する棟", "削除小学校区", "削除中学校区");
            t.addRow(104, null, null, null);
            t.addRow(null, "番号なし", "北小学校区", "北中学校区");
            t.addRow(null, null, null, null);
            t.addRow(105, "𠮷野家棟", "𠮷野家区", "𠮷野家区");
            t.addRow(2147483647, "最大", "東小学校区", "東中学校区");
            t.addRow(-2147483648, "最小", "西小学校区", "西中学校区");
            t.addRow(101, "A-101 重複", "第一小学校区", "第三中学校区");
            t.addRow(106, "", "", "");
            t.addRow(107, " 空白 ", " 西小学校区", "西中学校区 ");
            t.addRow(108, "Ｃ棟", "ﾆｼ小学校区", "Nishi-chu");
            // Stays in the file flagged deleted; readers must skip it.
            deleteWhere(t, KEY, 103);
        }
    }

    // Double keys: halves exercise the rounding of a fractional key to a
    // whole building number (12.5, 13.5, -0.5, 102.5 each round differently
    // under round-half-to-even than under round-half-up).
    static void doubleKey(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = touMaster(db, DataType.DOUBLE);
            t.addRow(101.0, "第一小学校区", "第一中学校区");
            t.addRow(12.5, "十二小学校区", "十二・五中学校区");
            t.addRow(13.5, "十三小学校区", "十三・五中学校区");
            t.addRow(-0.5, "負小学校区", "負の半中学校区");
            t.addRow(102.5, "百二小学校区", "百二・五中学校区");
            t.addRow(103.25, "削除小学校区", "削除中学校区");
            t.addRow(-7.0, "Minus-sho", "Minus-chu");
            t.addRow(104.0, null, null);
            t.addRow(null, "番号なし小学校区", "番号なし中学校区");
            t.addRow(null, null, null);
            t.addRow(105.0, "𠮷野家区", "𠮷野家区");
            t.addRow(2147483647.0, "最大小学校区", "最大中学校区");
            t.addRow(-2147483648.0, "最小小学校区", "最小中学校区");
            deleteWhere(t, KEY, 103.25);
        }
    }

    // Ordinary rows, then one key past the 32-bit range, then a row after it:
    // a run stops at the bad key with the earlier rows already applied.
    static void doubleKeyBeyondLong(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = touMaster(db, DataType.DOUBLE);
            t.addRow(101.0, "第一小学校区", "第一中学校区");
            t.addRow(102.0, "第一小学校区", "第二中学校区");
            t.addRow(2147483648.0, "範囲外小学校区", "範囲外中学校区");
            t.addRow(103.0, "第二小学校区", "第三中学校区");
        }
    }

    // Text keys: numeric text in several spellings, then text that is no
    // number at all as the last row, so every row before it is well defined.
    static void textKey(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = touMaster(db, DataType.TEXT);
            t.addRow("101", "第一小学校区", "第一中学校区");
            t.addRow("0102", "第一小学校区", "第二中学校区");
            t.addRow(" 103 ", "第二小学校区", "第三中学校区");
            t.addRow("-7", "Minus-sho", "Minus-chu");
            t.addRow("12.5", "十二小学校区", "十二・五中学校区");
            t.addRow("削除", "削除小学校区", "削除中学校区");
            t.addRow("104", null, null);
            t.addRow(null, "番号なし小学校区", "番号なし中学校区");
            t.addRow(null, null, null);
            t.addRow("105", "𠮷野家区", "𠮷野家区");
            t.addRow("１０６", "全角小学校区", "全角中学校区");
            t.addRow("", "空小学校区", "空中学校区");
            t.addRow("百七", "漢数字小学校区", "漢数字中学校区");
            deleteWhere(t, KEY, "削除");
        }
    }

    // Currency keys: four decimal places, fractional and negative.
    static void currencyKey(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = touMaster(db, DataType.MONEY);
            t.addRow(new BigDecimal("101"), "第一小学校区", "第一中学校区");
            t.addRow(new BigDecimal("12.5"), "十二小学校区", "十二・五中学校区");
            t.addRow(new BigDecimal("13.5"), "十三小学校区", "十三・五中学校区");
            t.addRow(new BigDecimal("-0.5"), "負小学校区", "負の半中学校区");
            t.addRow(new BigDecimal("102.5"), "百二小学校区", "百二・五中学校区");
            t.addRow(new BigDecimal("103.0001"), "削除小学校区", "削除中学校区");
            t.addRow(new BigDecimal("0.0001"), "極小小学校区", "極小中学校区");
            t.addRow(new BigDecimal("-7"), "Minus-sho", "Minus-chu");
            t.addRow(new BigDecimal("104"), null, null);
            t.addRow(null, "番号なし小学校区", "番号なし中学校区");
            t.addRow(null, null, null);
            t.addRow(new BigDecimal("105"), "𠮷野家区", "𠮷野家区");
            deleteWhere(t, KEY, new BigDecimal("103.0001"));
        }
    }

    // Integer (16-bit) keys, both ends of the range included.
    static void integerKey(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = touMaster(db, DataType.INT);
            t.addRow((short) 101, "第一小学校区", "第一中学校区");
            t.addRow((short) -32768, "最小小学校区", "最小中学校区");
            t.addRow((short) 32767, "最大小学校区", "最大中学校区");
            t.addRow((short) 0, "Zero-sho", "Zero-chu");
            t.addRow((short) 103, "削除小学校区", "削除中学校区");
            t.addRow((short) -7, "負小学校区", "負中学校区");
            t.addRow((short) 104, null, null);
            t.addRow(null, "番号なし小学校区", "番号なし中学校区");
            t.addRow(null, null, null);
            t.addRow((short) 105, "𠮷野家区", "𠮷野家区");
            deleteWhere(t, KEY, (short) 103);
        }
    }

    static String longMemo() {
        StringBuilder sb = new StringBuilder("始");
        for (int i = 0; sb.length() < LONG_MEMO_CHARS - 1; i++) {
            sb.append(IROHA.charAt(i % IROHA.length()));
        }
        return sb.append("終").toString();
    }

    static String repeat(String s, int chars) {
        StringBuilder sb = new StringBuilder();
        for (int i = 0; sb.length() < chars; i++) {
            sb.append(s.charAt(i % s.length()));
        }
        return sb.toString();
    }

    // 中学校区 as Memo. Values of three sizes land in the three places Jet 4
    // keeps a memo: inside the row, on one other page, and on a chain of
    // pages (the 20,000-character value is 40,000 bytes, past 16 KB).
    static void longMemo(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = new TableBuilder(TABLE)
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(text(ELEMENTARY, true))
                    .addColumn(new ColumnBuilder(JUNIOR, DataType.MEMO).setCompressedUnicode(false))
                    .addColumn(new ColumnBuilder("備考", DataType.MEMO).setCompressedUnicode(true))
                    .toTable(db);
            t.addRow(201, "第一小学校区", "第五中学校区", "short note");
            t.addRow(202, "第一小学校区", repeat("中学校区", 1000), repeat("Latin-1 note. ", 1000));
            t.addRow(203, "第二小学校区", longMemo(), null);
            t.addRow(204, null, null, null);
            t.addRow(205, "𠮷野家区", "𠮷野家区" + repeat("中", 996) + "𠮷", "");
        }
    }

    // The table exists but holds no rows.
    static void emptyTable(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            touMaster(db, DataType.LONG);
        }
    }

    // No 棟マスタ: only tables whose names start or end like it.
    static void noTable(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = new TableBuilder("棟マスタ旧")
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(text(ELEMENTARY, true))
                    .addColumn(text(JUNIOR, false))
                    .toTable(db);
            t.addRow(101, "第一小学校区", "第一中学校区");
            Table u = new TableBuilder("旧棟マスタ")
                    .addColumn(new ColumnBuilder(KEY, DataType.LONG))
                    .addColumn(text(JUNIOR, false))
                    .toTable(db);
            u.addRow(101, "第一中学校区");
        }
    }

    // One column of every type the reader maps, with both ends of each range,
    // a row of Nulls and a row of ordinary values.
    static void allTypes(File f) throws IOException {
        try (Database db = create(f, FileFormat.V2000)) {
            Table t = new TableBuilder("型")
                    .addColumn(new ColumnBuilder("行", DataType.LONG))
                    .addColumn(new ColumnBuilder("ByteCol", DataType.BYTE))
                    .addColumn(new ColumnBuilder("IntegerCol", DataType.INT))
                    .addColumn(new ColumnBuilder("LongCol", DataType.LONG))
                    .addColumn(new ColumnBuilder("SingleCol", DataType.FLOAT))
                    .addColumn(new ColumnBuilder("DoubleCol", DataType.DOUBLE))
                    .addColumn(new ColumnBuilder("CurrencyCol", DataType.MONEY))
                    .addColumn(new ColumnBuilder("DecimalCol", DataType.NUMERIC).setPrecision(18).setScale(4))
                    .addColumn(new ColumnBuilder("YesNoCol", DataType.BOOLEAN))
                    .addColumn(new ColumnBuilder("DateCol", DataType.SHORT_DATE_TIME))
                    .addColumn(text("TextCol", true).setLengthInUnits(255))
                    .addColumn(new ColumnBuilder("MemoCol", DataType.MEMO))
                    .toTable(db);
            t.addRow(1, (byte) 0, (short) -32768, -2147483648, -1.5f, -1e300,
                    new BigDecimal("-922337203685477.5808"), new BigDecimal("-99999999999999.9999"),
                    false, LocalDateTime.of(1899, 12, 30, 0, 0, 0), "", "");
            t.addRow(2, (byte) 255, (short) 32767, 2147483647, 1.5f, 1e300,
                    new BigDecimal("922337203685477.5807"), new BigDecimal("99999999999999.9999"),
                    true, LocalDateTime.of(2024, 2, 29, 13, 45, 30), "テキスト𠮷", "メモ");
            t.addRow(3, null, null, null, null, null, null, null, null, null, null, null);
            t.addRow(4, (byte) 1, (short) 0, 0, 0.1f, 0.5, new BigDecimal("0.0001"), new BigDecimal("-0.0001"),
                    true, LocalDateTime.of(1899, 12, 29, 6, 0, 0), "Plain ASCII", "ASCII memo");
            t.addRow(5, (byte) 128, (short) -1, -1, 3.4028235e38f, 4.9e-324, new BigDecimal("-1"),
                    new BigDecimal("12345678901234.5678"), false, LocalDateTime.of(9999, 12, 31, 23, 59, 59),
                    "第一中学校区", "中学校区");
        }
    }
}
