// Replaceable event slots of datasets and fields: plain values that an owner can read, save and put back.
#pragma once

#include <functional>

class TDataSet;
class TField;
class EDatabaseError;

/// What an error handler tells the dataset to do with the error it was given.
enum TDataAction { daFail, daAbort, daRetry };

using TDataSetNotifyEvent = std::function<void(TDataSet *DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet *DataSet, EDatabaseError &E, TDataAction &Action)>;
using TFieldNotifyEvent = std::function<void(TField *Sender)>;
