// The dataset filter language: "name=value" terms (also <>, <, >, <=, >=, "is [not] null") joined by "and" and
// "or", with "not" and parentheses. Values are bare or in single quotes (a doubled quote stands for one) and
// compare exactly; an empty value matches NULL and the empty text; a '*' after the closing quote ('ab'*) asks
// for a prefix match with = or <>, so no character inside a value can widen the filter.
#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class TDataSet;
class TField;

namespace olm::dataset {

class FilterExpression {
public:
    /// Raises EDatabaseError naming the problem and where it is.
    static std::unique_ptr<FilterExpression> parse(const QString &text);
    ~FilterExpression();

    /// Resolves the field names of a dataset and converts the values to the fields' types; raises
    /// EDatabaseError for an unknown field or a value the field's type cannot hold.
    void bind(const TDataSet &dataSet);
    /// For the record the dataset's fields read now.
    bool matches() const;

    struct Node;

private:
    FilterExpression() = default;
    QString m_text;
    std::unique_ptr<Node> m_root;
};

} // namespace olm::dataset
