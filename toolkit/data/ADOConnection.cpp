// The connection: connection string, opening the backend it names, closing with its datasets, and the
// parameter lists of the dataset kinds.
#include "ADODB.h"

#include "DataSetPrivate.h"

TADOConnection::TADOConnection(QObject *owner) : QObject(owner) {}

TADOConnection::~TADOConnection()
{
    // Handlers of datasets being torn down with their owner must not run now.
    for (const QPointer<TCustomADODataSet> &dataSet : std::as_const(m_dataSets))
        if (dataSet && dataSet->Active()) {
            dataSet->privateData()->closeSilently();
            emit dataSet->dataEvent(deDataSetChange, 0);
        }
    m_backend.reset();
}

void TADOConnection::setConnectionString(const QString &text)
{
    if (Connected())
        throw EDatabaseError(QStringLiteral("Cannot change the connection string of an open connection"));
    m_connectionString = text;
}

void TADOConnection::Open()
{
    if (Connected())
        return;
    if (m_connectionString.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("Missing ConnectionString"));
    QString error;
    std::unique_ptr<DbBackend> backend = openBackend(TConnectionString::parse(m_connectionString), &error);
    if (!backend)
        throw EDatabaseError(error.isEmpty() ? QStringLiteral("Cannot connect to the database") : stripDriverPrefixes(error));
    m_backend = std::move(backend);
    m_openedImplicitly = false;
}

void TADOConnection::Close()
{
    const QList<QPointer<TCustomADODataSet>> dataSets = m_dataSets;
    for (const QPointer<TCustomADODataSet> &dataSet : dataSets)
        if (dataSet && dataSet->Active())
            dataSet->Close();
    m_backend.reset();
    m_openedImplicitly = false;
}

int TADOConnection::Execute(const QString &statement)
{
    const olm::dataset::Outcome outcome = backend().execute(statement, {}, CommandTimeout);
    check(outcome);
    return int(outcome.rowsAffected);
}

DbBackend &TADOConnection::backend()
{
    if (!m_backend) {
        Open();
        m_openedImplicitly = true;
    }
    return *m_backend;
}

void TADOConnection::check(const olm::dataset::Outcome &outcome)
{
    if (!outcome.ok)
        throw EDatabaseError(outcome.error.isEmpty() ? QStringLiteral("The server refused the statement")
                                                     : stripDriverPrefixes(outcome.error));
}

void TADOConnection::datasetOpened(TCustomADODataSet *dataSet)
{
    for (const QPointer<TCustomADODataSet> &known : std::as_const(m_dataSets))
        if (known == dataSet)
            return;
    m_dataSets.append(dataSet);
}

void TADOConnection::datasetClosed(TCustomADODataSet *)
{
    if (!m_backend || !m_openedImplicitly || KeepConnection)
        return;
    for (const QPointer<TCustomADODataSet> &dataSet : std::as_const(m_dataSets))
        if (dataSet && dataSet->Active())
            return;
    m_backend.reset();
    m_openedImplicitly = false;
}

void TADOConnection::datasetGone(TCustomADODataSet *dataSet)
{
    m_dataSets.removeIf([dataSet](const QPointer<TCustomADODataSet> &known) { return !known || known == dataSet; });
    datasetClosed(dataSet);
}

// --- TParameters ---------------------------------------------------------------------------------------------

namespace {

QString bareName(const QString &name)
{
    QString bare = name.trimmed();
    if (bare.startsWith(QLatin1Char('@')) || bare.startsWith(QLatin1Char(':')))
        bare.remove(0, 1);
    return bare;
}

} // namespace

TParameter *TParameters::Items(int index)
{
    return const_cast<TParameter *>(std::as_const(*this).Items(index));
}

const TParameter *TParameters::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EDatabaseError(QStringLiteral("Parameter index %1 out of range (%2 parameters)").arg(index).arg(Count()));
    return m_items[size_t(index)].get();
}

TParameter *TParameters::FindParam(const QString &name)
{
    const QString wanted = bareName(name);
    for (const auto &item : m_items)
        if (bareName(item->Name).compare(wanted, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

TParameter *TParameters::ParamByName(const QString &name)
{
    TParameter *parameter = FindParam(name);
    if (!parameter)
        throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(bareName(name)));
    return parameter;
}

TParameter *TParameters::AddParameter(const QString &name, TFieldType type, TParameterDirection direction, int size,
                                      bool nullable)
{
    auto parameter = std::make_unique<TParameter>();
    parameter->Name = name;
    parameter->DataType = type;
    parameter->Direction = direction;
    parameter->Size = size;
    parameter->Nullable = nullable;
    m_items.push_back(std::move(parameter));
    return m_items.back().get();
}
