#include "platform/dao/SelectParser.h"

#include "platform/dao/SqlNames.h"

namespace dao::detail {

namespace {

struct Token {
    enum Kind { Word, Identifier, Number, Text, Symbol, End, Bad };
    Kind kind = End;
    QString text;
};

bool isSqlSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\f') || c == QLatin1Char('\v');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

class Lexer {
public:
    explicit Lexer(const QString& sql, qsizetype start = 0) : s_(sql), i_(start) {}

    // Where the token next() returned last begins.
    qsizetype tokenStart() const { return start_; }

    Token next() {
        while (i_ < s_.size() && isSqlSpace(s_[i_]))
            ++i_;
        start_ = i_;
        if (i_ >= s_.size())
            return {Token::End, {}};
        const QChar c = s_[i_];
        if (c == QLatin1Char('[') || c == QLatin1Char('"') || c == QLatin1Char('`'))
            return quoted(Token::Identifier);
        if (c == QLatin1Char('\''))
            return quoted(Token::Text);
        if (isDigit(c) || (c == QLatin1Char('.') && i_ + 1 < s_.size() && isDigit(s_[i_ + 1])))
            return number();
        if (isNameChar(c)) {
            const qsizetype start = i_;
            while (i_ < s_.size() && isNameChar(s_[i_]))
                ++i_;
            return {Token::Word, s_.mid(start, i_ - start)};
        }
        ++i_;
        return {Token::Symbol, QString(c)};
    }

private:
    // Quoted text or name; one left open is no token.
    Token quoted(Token::Kind kind) {
        Quoted q = readQuoted(s_, i_);
        if (!q.closed)
            return {Token::Bad, {}};
        return {kind, std::move(q.text)};
    }

    Token number() {
        const qsizetype start = i_;
        const auto digits = [this] {
            while (i_ < s_.size() && isDigit(s_[i_]))
                ++i_;
        };
        digits();
        if (i_ < s_.size() && s_[i_] == QLatin1Char('.')) {
            ++i_;
            digits();
        }
        if (i_ < s_.size() && (s_[i_] == QLatin1Char('e') || s_[i_] == QLatin1Char('E'))) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == QLatin1Char('+') || s_[i_] == QLatin1Char('-')))
                ++i_;
            const qsizetype exponent = i_;
            digits();
            if (i_ == exponent)
                return {Token::Bad, {}};
        }
        if (i_ < s_.size() && isNameChar(s_[i_]))
            return {Token::Bad, {}}; // "105abc" is no number
        return {Token::Number, s_.mid(start, i_ - start)};
    }

    const QString& s_;
    qsizetype i_ = 0;
    qsizetype start_ = 0;
};

bool isKeyword(const Token& t, const char* keyword) {
    return t.kind == Token::Word && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool isName(const Token& t) {
    return t.kind == Token::Identifier ||
           (t.kind == Token::Word && !isKeyword(t, "SELECT") && !isKeyword(t, "FROM") && !isKeyword(t, "WHERE"));
}

bool isSymbol(const Token& t, char symbol) {
    return t.kind == Token::Symbol && t.text == QLatin1Char(symbol);
}

std::variant<std::int64_t, double, QString> numberValue(const QString& text) {
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char('E'))) {
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return std::int64_t{whole};
    }
    return text.toDouble(); // also whole numbers beyond 64 bits, as SQLite reads them
}

// The literal from token t on, then an optional ";" and the end of the text.
std::optional<SimpleSelect::Literal> literalToEnd(Lexer& lexer, Token t) {
    QString sign;
    if (isSymbol(t, '-') || isSymbol(t, '+')) {
        sign = t.text;
        t = lexer.next();
        if (t.kind != Token::Number)
            return std::nullopt;
    }
    SimpleSelect::Literal literal;
    if (t.kind == Token::Number)
        literal = numberValue(sign + t.text);
    else if (t.kind == Token::Text)
        literal = t.text;
    else
        return std::nullopt;
    t = lexer.next();
    if (isSymbol(t, ';'))
        t = lexer.next();
    if (t.kind != Token::End)
        return std::nullopt;
    return literal;
}

} // namespace

std::optional<SimpleSelect::Literal> parseLiteralAt(const QString& sql, qsizetype start) {
    if (start < 0 || start > sql.size())
        return std::nullopt;
    Lexer lexer(sql, start);
    return literalToEnd(lexer, lexer.next());
}

std::optional<SimpleSelect> parseSimpleSelect(const QString& sql) {
    Lexer lexer(sql);
    Token t = lexer.next();
    if (!isKeyword(t, "SELECT"))
        return std::nullopt;

    SimpleSelect select;
    t = lexer.next();
    if (isSymbol(t, '*')) {
        t = lexer.next();
    } else {
        for (;;) {
            if (!isName(t))
                return std::nullopt;
            select.columns << t.text;
            t = lexer.next();
            if (!isSymbol(t, ','))
                break;
            t = lexer.next();
        }
    }
    if (!isKeyword(t, "FROM"))
        return std::nullopt;
    t = lexer.next();
    if (!isName(t))
        return std::nullopt;
    select.table = t.text;
    t = lexer.next();

    if (isKeyword(t, "WHERE")) {
        SimpleSelect::Condition condition;
        t = lexer.next();
        if (!isName(t))
            return std::nullopt;
        condition.column = t.text;
        if (!isSymbol(t = lexer.next(), '='))
            return std::nullopt;
        t = lexer.next();
        condition.literalStart = lexer.tokenStart();
        std::optional<SimpleSelect::Literal> literal = literalToEnd(lexer, t);
        if (!literal)
            return std::nullopt;
        condition.literal = std::move(*literal);
        select.where = std::move(condition);
        return select;
    }
    if (isSymbol(t, ';'))
        t = lexer.next();
    if (t.kind != Token::End)
        return std::nullopt;
    return select;
}

vb::Variant literalValue(const SimpleSelect::Literal& literal) {
    return std::visit([](const auto& v) { return vb::Variant(v); }, literal);
}

bool matchesShape(const QString& sql, const QString& text, qsizetype literalStart,
                  std::optional<SimpleSelect::Literal>& literal) {
    if (literalStart < 0)
        return sql == text;
    if (sql.size() <= literalStart || QStringView(sql).first(literalStart) != QStringView(text))
        return false;
    literal = parseLiteralAt(sql, literalStart);
    return literal.has_value();
}

} // namespace dao::detail
