// How the data-aware controls run dataset operations started by the user: an error goes to the
// application's default error display (EAbort stays silent) and never crosses Qt's event dispatch.
#pragma once

#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"

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
