<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>CommandLine</name>
    <message>
        <source>%1 / %2 rows</source>
        <translation>%1 / %2 件</translation>
    </message>
    <message>
        <source>Revises the building master (棟マスタ) of the newer database from the older one&apos;s.</source>
        <translation>Q4 の棟マスタのデータを使用して Q5 の棟マスタの情報を修正します。</translation>
    </message>
    <message>
        <source>The older edition&apos;s database.</source>
        <translation>Q4 のデータベース。</translation>
    </message>
    <message>
        <source>The newer edition&apos;s database (default: Q_db/Q5ProDB.mdb beside the program).</source>
        <translation>Q5 のデータベース (省略時: プログラムと同じフォルダーの Q_db/Q5ProDB.mdb)。</translation>
    </message>
    <message>
        <source>path</source>
        <translation>パス</translation>
    </message>
    <message>
        <source>Try &apos;--help&apos;.</source>
        <translation>&apos;--help&apos; で使い方を表示します。</translation>
    </message>
    <message>
        <source>Give the source database with --source PATH.</source>
        <translation>--source パス で Q4 のデータベースを指定してください。</translation>
    </message>
    <message>
        <source>Done: %1 rows read, %2 revised, %3 not found in the target.</source>
        <translation>修正が完了しました。読み込み %1 件、修正 %2 件、該当なし %3 件。</translation>
    </message>
</context>
<context>
    <name>ErrorReport</name>
    <message>
        <source>Run-time error &apos;%1&apos;:

%2</source>
        <translation>実行時エラー &apos;%1&apos;:

%2</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>メモリが不足しています。</translation>
    </message>
    <message>
        <source>Internal error: %1</source>
        <translation>内部エラー: %1</translation>
    </message>
</context>
<context>
    <name>dao</name>
    <message>
        <source>Out of memory while reading &apos;%1&apos;: its rows would take more than %2 MiB. The file may be damaged or made to harm.</source>
        <translation>&apos;%1&apos; の読み取り中にメモリが不足しました。行の読み込みに %2 MiB を超えるメモリが必要です。ファイルが破損しているか、害を与えるように作られている可能性があります。</translation>
    </message>
    <message>
        <source>Cannot read &apos;%1&apos;: the definitions its query reaches are longer than %2 characters. The file may be damaged or made to harm.</source>
        <translation>&apos;%1&apos; を読み取れません。クエリがたどる定義の長さが %2 文字を超えています。ファイルが破損しているか、害を与えるように作られている可能性があります。</translation>
    </message>
    <message>
        <source>Cannot update &apos;%1&apos;: it is an Access 97 database, which this program only reads. Convert it to the Access 2000-2003 format first.</source>
        <translation>&apos;%1&apos; を更新できません。Access 97 のデータベースは読み取りのみ行えます。先に Access 2000-2003 形式に変換してください。</translation>
    </message>
    <message>
        <source>Could not use &apos;%1&apos;; it is open in Access (lock file &apos;%2&apos;, used by: %3). Close it in Access, or delete the lock file if no one has it open.</source>
        <translation>&apos;%1&apos; を使用できません。Access で開かれています (ロック ファイル &apos;%2&apos;、使用中のコンピューター: %3)。Access で閉じるか、だれも開いていなければロック ファイルを削除してください。</translation>
    </message>
    <message>
        <source>no computer named</source>
        <translation>名前なし</translation>
    </message>
    <message>
        <source>Could not use &apos;%1&apos;; another copy of this program is revising it.</source>
        <translation>&apos;%1&apos; を使用できません。このプログラムの別のコピーが更新中です。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; was changed or opened by someone else during the run; it was left as it was and none of this run&apos;s changes were saved.</source>
        <translation>実行中に &apos;%1&apos; がほかのユーザーによって変更されたか開かれました。ファイルはそのままにし、今回の変更は保存していません。</translation>
    </message>
    <message>
        <source>Cannot update the field &apos;%1&apos; of &apos;%2&apos;: it is indexed, and Access&apos;s Japanese sort order cannot be written. Remove the index on &apos;%1&apos; in Access first.</source>
        <translation>&apos;%2&apos; のフィールド &apos;%1&apos; を更新できません。インデックスが設定されており、Access の日本語の並べ替え順は書き込めません。先に Access で &apos;%1&apos; のインデックスを削除してください。</translation>
    </message>
    <message>
        <source>Field &apos;%1&apos; cannot be updated: only 中学校区 is written to an Access database.</source>
        <translation>フィールド &apos;%1&apos; は更新できません。Access データベースに書き込めるのは 中学校区 だけです。</translation>
    </message>
    <message>
        <source>The field &apos;%1&apos; is too small for the value of the record %2: it holds at most %3 characters.</source>
        <translation>フィールド &apos;%1&apos; のサイズが小さすぎて、レコード %2 の値を格納できません (最大 %3 文字)。</translation>
    </message>
    <message>
        <source>The field &apos;%1&apos; cannot be a zero-length string (record %2).</source>
        <translation>フィールド &apos;%1&apos; に長さ 0 の文字列は入力できません (レコード %2)。</translation>
    </message>
    <message>
        <source>The value for the field &apos;%1&apos; of the record %2 starts with the character U+FEFF, which Access would read wrongly.</source>
        <translation>レコード %2 のフィールド &apos;%1&apos; の値が文字 U+FEFF で始まっています。Access が正しく読めないため書き込めません。</translation>
    </message>
    <message>
        <source>Record %1 is too large: Access keeps at most %2 bytes a record.</source>
        <translation>レコード %1 が大きすぎます。Access のレコードは最大 %2 バイトです。</translation>
    </message>
    <message>
        <source>Out of memory while working on &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; の処理中にメモリが不足しました。</translation>
    </message>
    <message>
        <source>The database engine could not be started: %1</source>
        <translation>データベース エンジンを開始できません: %1</translation>
    </message>
    <message>
        <source>Item not found in this collection: workspace %1.</source>
        <translation>この コレクションには項目がありません: ワークスペース %1。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid path.</source>
        <translation>&apos;%1&apos; は有効なパスではありません。</translation>
    </message>
    <message>
        <source>Cannot open &apos;%1&apos;: it is a folder, not a database file.</source>
        <translation>&apos;%1&apos; を開けません。データベース ファイルではなくフォルダです。</translation>
    </message>
    <message>
        <source>Could not find file &apos;%1&apos;.</source>
        <translation>ファイル &apos;%1&apos; が見つかりません。</translation>
    </message>
    <message>
        <source>Cannot open the file &apos;%1&apos;.</source>
        <translation>ファイル &apos;%1&apos; を開けません。</translation>
    </message>
    <message>
        <source>Unrecognized database format &apos;%1&apos;. It is a plain SQLite database, not an encrypted database of this program.</source>
        <translation>データベースの形式 &apos;%1&apos; を認識できません。暗号化されていない SQLite データベースで、このプログラムのデータベースではありません。</translation>
    </message>
    <message>
        <source>Unrecognized database format &apos;%1&apos;.</source>
        <translation>データベースの形式 &apos;%1&apos; を認識できません。</translation>
    </message>
    <message>
        <source>Object invalid or no longer set.</source>
        <translation>オブジェクトが無効か、設定されていません。</translation>
    </message>
    <message>
        <source>Cannot update. The database &apos;%1&apos; is opened read-only.</source>
        <translation>更新できません。データベース &apos;%1&apos; は読み取り専用で開かれています。</translation>
    </message>
    <message>
        <source>Could not update; &apos;%1&apos; is currently locked by another user or process.</source>
        <translation>更新できません。&apos;%1&apos; は他のユーザーまたはプロセスによってロックされています。</translation>
    </message>
    <message>
        <source>Could not use &apos;%1&apos;; file already in use.</source>
        <translation>&apos;%1&apos; を使用できません。ファイルは既に使用中です。</translation>
    </message>
    <message>
        <source>Could not read; &apos;%1&apos; is currently locked by another user or process.</source>
        <translation>読み取れません。&apos;%1&apos; は他のユーザーまたはプロセスによってロックされています。</translation>
    </message>
    <message>
        <source>Not enough space on disk for &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; のディスク領域が不足しています。</translation>
    </message>
    <message>
        <source>Disk or network error on &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; でディスクまたはネットワークのエラーが発生しました。</translation>
    </message>
    <message>
        <source>Cannot open database &apos;%1&apos;. The file may be damaged.</source>
        <translation>データベース &apos;%1&apos; を開けません。ファイルが壊れている可能性があります。</translation>
    </message>
    <message>
        <source>Cannot update. Database or object is read-only (&apos;%1&apos;).</source>
        <translation>更新できません。データベースまたはオブジェクトは読み取り専用です (&apos;%1&apos;)。</translation>
    </message>
    <message>
        <source>Data type conversion error in &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; でデータ型の変換エラーが発生しました。</translation>
    </message>
    <message>
        <source>The field &apos;%1&apos; cannot contain a Null value.</source>
        <translation>フィールド &apos;%1&apos; には Null 値を入力できません。</translation>
    </message>
    <message>
        <source>One or more values are prohibited by the validation rule set for &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; に設定されている入力規則によって、1 つ以上の値が禁止されています。</translation>
    </message>
    <message>
        <source>The change would create a duplicate value in &apos;%1&apos;, which must be unique.</source>
        <translation>この変更を行うと、一意でなければならない &apos;%1&apos; に重複する値ができます。</translation>
    </message>
    <message>
        <source>The change needs a related record that does not exist.</source>
        <translation>この変更には、存在しない関連レコードが必要です。</translation>
    </message>
    <message>
        <source>Database error in &apos;%1&apos;: %2</source>
        <translation>&apos;%1&apos; でデータベース エラーが発生しました: %2</translation>
    </message>
    <message>
        <source>Item not found in this collection: &apos;%1&apos;.</source>
        <translation>この コレクションには項目がありません: &apos;%1&apos;。</translation>
    </message>
    <message>
        <source>Cannot find the table or query &apos;%1&apos; in &apos;%2&apos;.</source>
        <translation>&apos;%2&apos; にテーブルまたはクエリ &apos;%1&apos; が見つかりません。</translation>
    </message>
    <message>
        <source>No current record.</source>
        <translation>カレント レコードがありません。</translation>
    </message>
    <message>
        <source>Update or CancelUpdate without AddNew or Edit.</source>
        <translation>AddNew または Edit を行わずに Update または CancelUpdate を実行しました。</translation>
    </message>
    <message>
        <source>The query is not a plain selection from one table.</source>
        <translation>このクエリは 1 つのテーブルからの単純な選択ではありません。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; has no row identifiers, so its rows cannot be edited.</source>
        <translation>&apos;%1&apos; には行識別子がないため、行を編集できません。</translation>
    </message>
    <message>
        <source>Data type mismatch in criteria expression: the field &apos;%1&apos; of &apos;%2&apos; holds text but is compared with the number %3. The file &apos;%4&apos; does not have the expected layout.</source>
        <translation>抽出条件でデータ型が一致しません: &apos;%2&apos; のフィールド &apos;%1&apos; はテキストですが、数値 %3 と比較されています。ファイル &apos;%4&apos; は想定された構成ではありません。</translation>
    </message>
    <message>
        <source>Invalid operation: only a query that reads rows can be opened as a recordset.</source>
        <translation>無効な操作です: レコードセットとして開けるのは行を読み取るクエリだけです。</translation>
    </message>
    <message>
        <source>Record is deleted.</source>
        <translation>レコードは削除されています。</translation>
    </message>
    <message>
        <source>Cannot update. Database or object is read-only. %1</source>
        <translation>更新できません。データベースまたはオブジェクトは読み取り専用です。%1</translation>
    </message>
    <message>
        <source>Invalid argument.</source>
        <translation>引数が無効です。</translation>
    </message>
    <message>
        <source>The path &apos;%1&apos; is too long: the database engine takes full paths of at most %2 bytes, this one has %3.</source>
        <translation>パス &apos;%1&apos; が長すぎます。データベース エンジンが扱えるフル パスは %2 バイトまでですが、このパスは %3 バイトです。</translation>
    </message>
    <message>
        <source>Cannot update &apos;%1&apos;: its folder is read-only, so the journal an update needs cannot be created there.</source>
        <translation>&apos;%1&apos; を更新できません。フォルダが読み取り専用のため、更新に必要なジャーナルを作成できません。</translation>
    </message>
    <message>
        <source>Not a valid password for &apos;%1&apos;, or the file is damaged.</source>
        <translation>&apos;%1&apos; のパスワードが正しくないか、ファイルが壊れています。</translation>
    </message>
</context>
<context>
    <name>fso</name>
    <message>
        <source>Path not found: %1</source>
        <translation>パスが見つかりません: %1</translation>
    </message>
    <message>
        <source>File already exists: %1</source>
        <translation>既に同名のファイルが存在します: %1</translation>
    </message>
    <message>
        <source>Permission denied: %1</source>
        <translation>書き込みできません: %1</translation>
    </message>
    <message>
        <source>Path/File access error: %1 (%2)</source>
        <translation>パス名またはファイル名が無効です: %1 (%2)</translation>
    </message>
    <message>
        <source>ActiveX component can&apos;t create object</source>
        <translation>オブジェクトを作成できません</translation>
    </message>
</context>
<context>
    <name>vb</name>
    <message>
        <source>Invalid procedure call or argument</source>
        <translation>プロシージャの呼び出し、または引数が不正です。</translation>
    </message>
    <message>
        <source>Overflow</source>
        <translation>オーバーフローしました。</translation>
    </message>
    <message>
        <source>Division by zero</source>
        <translation>0 で除算しました。</translation>
    </message>
    <message>
        <source>User interrupt occurred</source>
        <translation>ユーザーによる割り込みが発生しました。</translation>
    </message>
    <message>
        <source>Application-defined or object-defined error</source>
        <translation>アプリケーション定義またはオブジェクト定義のエラーです。</translation>
    </message>
</context>
</TS>
