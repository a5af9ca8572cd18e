// What the data-aware controls share: running dataset operations the user started (an error goes to the
// application's default error display, EAbort stays silent, nothing crosses Qt's event dispatch) and
// matching key values.
#pragma once

#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"

#include <QVariant>
#include <QtGlobal>

#include <exception>

/// Runs operation; an exception is shown by Application->HandleException (or logged when there is no
/// application object yet). True when operation finished without one.
template<class F>
bool runDataControlOperation(F &&operation)
{
    if (Application)
        return Application->guarded(std::forward<F>(operation));
    try {
        std::forward<F>(operation)();
        return true;
    } catch (const EAbort &) {
    } catch (const std::exception &error) {
        qWarning("data control: %s", error.what());
    } catch (...) {
        qWarning("data control: unknown error");
    }
    return false;
}

/// Whether two key values name the same row: numbers by value whatever their width, else by text; a null
/// key matches nothing.
inline bool sameKeyValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return false;
    bool aNumber = false;
    bool bNumber = false;
    const qlonglong x = a.toLongLong(&aNumber);
    const qlonglong y = b.toLongLong(&bNumber);
    if (aNumber && bNumber)
        return x == y;
    return a.toString() == b.toString();
}
