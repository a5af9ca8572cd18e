// Parser and evaluator of the dataset filter language.
#include "FilterExpression.h"

#include "DataSet.h"
#include "Exceptions.h"
#include "FieldValue.h"

namespace olm::dataset {

enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

struct FilterExpression::Node {
    enum Kind { And, Or, Not, Compare, IsNull } kind = Compare;
    std::unique_ptr<Node> left, right;
    QString fieldName;
    TField *field = nullptr;
    Op op = Op::Equal;
    QString valueText;
    bool quoted = false;
    bool emptyValue = false;
    bool prefix = false;
    bool negated = false;   // "is not null"
    QVariant value;
};

namespace {

using Node = FilterExpression::Node;

class Parser {
public:
    explicit Parser(const QString &text) : m_text(text) {}

    std::unique_ptr<Node> parseAll()
    {
        skipSpace();
        if (atEnd())
            fail(QStringLiteral("the filter is empty"));
        auto node = parseOr();
        skipSpace();
        if (!atEnd())
            fail(QStringLiteral("unexpected text '%1' at position %2").arg(m_text.mid(m_pos, 20)).arg(m_pos + 1));
        return node;
    }

    [[noreturn]] void fail(const QString &problem) const
    {
        throw EDatabaseError(QStringLiteral("Invalid filter \"%1\": %2").arg(m_text, problem));
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }
    void skipSpace()
    {
        while (!atEnd() && peek().isSpace())
            ++m_pos;
    }
    static bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('@'); }

    bool keywordAt(int pos, QLatin1String word) const
    {
        if (m_text.mid(pos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const int after = pos + int(word.size());
        return after >= m_text.size() || !isNameChar(m_text.at(after));
    }
    bool matchKeyword(QLatin1String word)
    {
        skipSpace();
        if (!keywordAt(m_pos, word))
            return false;
        m_pos += int(word.size());
        return true;
    }

    std::unique_ptr<Node> combine(Node::Kind kind, std::unique_ptr<Node> left, std::unique_ptr<Node> right)
    {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->left = std::move(left);
        node->right = std::move(right);
        return node;
    }

    std::unique_ptr<Node> parseOr()
    {
        auto node = parseAnd();
        while (matchKeyword(QLatin1String("or")))
            node = combine(Node::Or, std::move(node), parseAnd());
        return node;
    }

    std::unique_ptr<Node> parseAnd()
    {
        auto node = parseUnary();
        while (matchKeyword(QLatin1String("and")))
            node = combine(Node::And, std::move(node), parseUnary());
        return node;
    }

    std::unique_ptr<Node> parseUnary()
    {
        if (matchKeyword(QLatin1String("not")))
            return combine(Node::Not, parseUnary(), nullptr);
        skipSpace();
        if (peek() == QLatin1Char('(')) {
            ++m_pos;
            auto node = parseOr();
            skipSpace();
            if (peek() != QLatin1Char(')'))
                fail(QStringLiteral("')' expected at position %1").arg(m_pos + 1));
            ++m_pos;
            return node;
        }
        return parseTerm();
    }

    QString parseName()
    {
        skipSpace();
        if (peek() == QLatin1Char('[')) {
            const int end = m_text.indexOf(QLatin1Char(']'), m_pos + 1);
            if (end < 0)
                fail(QStringLiteral("']' expected after the field name at position %1").arg(m_pos + 1));
            const QString name = m_text.mid(m_pos + 1, end - m_pos - 1);
            m_pos = end + 1;
            return name;
        }
        const int start = m_pos;
        while (!atEnd() && isNameChar(peek()))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    std::unique_ptr<Node> parseTerm()
    {
        const int start = m_pos;
        auto node = std::make_unique<Node>();
        node->fieldName = parseName();
        if (node->fieldName.isEmpty())
            fail(atEnd() ? QStringLiteral("a field name is expected at the end")
                         : QStringLiteral("a field name is expected at position %1").arg(start + 1));
        if (matchKeyword(QLatin1String("is"))) {
            node->kind = Node::IsNull;
            node->negated = matchKeyword(QLatin1String("not"));
            if (!matchKeyword(QLatin1String("null")))
                fail(QStringLiteral("NULL expected after IS for field '%1'").arg(node->fieldName));
            return node;
        }
        skipSpace();
        static const struct { const char *text; Op op; } operators[] = {
            {"<>", Op::NotEqual}, {"!=", Op::NotEqual}, {"<=", Op::LessEqual}, {">=", Op::GreaterEqual},
            {"=", Op::Equal}, {"<", Op::Less}, {">", Op::Greater},
        };
        bool found = false;
        for (const auto &candidate : operators) {
            const QLatin1String text(candidate.text);
            if (m_text.mid(m_pos, text.size()) == text) {
                node->op = candidate.op;
                m_pos += int(text.size());
                found = true;
                break;
            }
        }
        if (!found)
            fail(QStringLiteral("a comparison operator is expected after '%1'").arg(node->fieldName));
        parseValue(*node);
        return node;
    }

    void parseValue(Node &node)
    {
        skipSpace();
        if (peek() == QLatin1Char('\'')) {
            QString value;
            int pos = m_pos + 1;
            for (;;) {
                if (pos >= m_text.size())
                    fail(QStringLiteral("the quoted value of '%1' is not closed").arg(node.fieldName));
                const QChar c = m_text.at(pos);
                if (c == QLatin1Char('\'')) {
                    if (pos + 1 < m_text.size() && m_text.at(pos + 1) == QLatin1Char('\'')) {
                        value += c;
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                value += c;
                ++pos;
            }
            m_pos = pos;
            node.quoted = true;
            node.valueText = value;
            if (peek() == QLatin1Char('*')) {
                if (node.op != Op::Equal && node.op != Op::NotEqual)
                    fail(QStringLiteral("a prefix match of '%1' needs = or <>").arg(node.fieldName));
                ++m_pos;
                node.prefix = true;
            }
        } else if (atEnd() || peek() == QLatin1Char(')') || keywordAt(m_pos, QLatin1String("and"))
                   || keywordAt(m_pos, QLatin1String("or"))) {
            node.valueText.clear();
        } else {
            const int start = m_pos;
            while (!atEnd() && !peek().isSpace() && peek() != QLatin1Char(')'))
                ++m_pos;
            node.valueText = m_text.mid(start, m_pos - start);
        }
        node.emptyValue = node.valueText.isEmpty() && !node.prefix;
    }

    const QString &m_text;
    int m_pos = 0;
};

void bindNode(Node &node, const TDataSet &dataSet, const Parser &parser)
{
    if (node.left)
        bindNode(*node.left, dataSet, parser);
    if (node.right)
        bindNode(*node.right, dataSet, parser);
    if (node.kind != Node::Compare && node.kind != Node::IsNull)
        return;
    node.field = dataSet.FindField(node.fieldName);
    if (!node.field)
        parser.fail(QStringLiteral("Field '%1' not found").arg(node.fieldName));
    if (node.kind == Node::IsNull || node.emptyValue)
        return;
    QString error;
    const TFieldType type = node.field->FieldKind() == fkLookup && node.field->DataType() == ftUnknown ? ftWideString
                                                                                                        : node.field->DataType();
    if (node.prefix && type != ftString && type != ftWideString && type != ftFixedWideChar)
        parser.fail(QStringLiteral("a prefix match needs a text field, not '%1'").arg(node.fieldName));
    if (!tryConvert(node.valueText, type, &node.value, &error))
        parser.fail(QStringLiteral("%1 for field '%2'").arg(error, node.fieldName));
}

bool evaluate(const Node &node)
{
    switch (node.kind) {
    case Node::And: return evaluate(*node.left) && evaluate(*node.right);
    case Node::Or: return evaluate(*node.left) || evaluate(*node.right);
    case Node::Not: return !evaluate(*node.left);
    case Node::IsNull: return node.field->IsNull() != node.negated;
    case Node::Compare: break;
    }
    const QVariant value = node.field->Value();
    if (node.emptyValue) {
        const bool blank = isNullValue(value) || node.field->AsString().isEmpty();
        return node.op == Op::Equal ? blank : (node.op == Op::NotEqual ? !blank : false);
    }
    if (isNullValue(value))
        return node.op == Op::NotEqual;
    if (node.prefix) {
        const bool starts = value.toString().startsWith(node.value.toString());
        return node.op == Op::Equal ? starts : (node.op == Op::NotEqual ? !starts : false);
    }
    switch (node.op) {
    case Op::Equal: return valuesEqual(value, node.value);
    case Op::NotEqual: return !valuesEqual(value, node.value);
    case Op::Less: return compareValues(value, node.value) < 0;
    case Op::Greater: return compareValues(value, node.value) > 0;
    case Op::LessEqual: return compareValues(value, node.value) <= 0;
    case Op::GreaterEqual: return compareValues(value, node.value) >= 0;
    }
    return false;
}

} // namespace

FilterExpression::~FilterExpression() = default;

std::unique_ptr<FilterExpression> FilterExpression::parse(const QString &text)
{
    std::unique_ptr<FilterExpression> expression(new FilterExpression);
    expression->m_text = text;
    Parser parser(expression->m_text);
    expression->m_root = parser.parseAll();
    return expression;
}

void FilterExpression::bind(const TDataSet &dataSet)
{
    Parser parser(m_text);
    bindNode(*m_root, dataSet, parser);
}

bool FilterExpression::matches() const { return evaluate(*m_root); }

} // namespace olm::dataset
