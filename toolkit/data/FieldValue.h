// Value rules shared by fields, parameters, filters and sorting: conversion to a field type, the standard
// text of a value, null-aware equality and ordering. Private to the dataset layer.
#pragma once

#include "Field.h"

#include <QMetaType>
#include <QString>
#include <QVariant>

namespace olm::dataset {

/// SQL NULL: an invalid variant or a typed null.
inline bool isNullValue(const QVariant &value) { return !value.isValid() || value.isNull(); }

QMetaType metaTypeOf(TFieldType type);
/// A null of the type's variant type, so drivers bind it typed.
QVariant typedNull(TFieldType type);
/// The field type a result column of this variant type is read as.
TFieldType fieldTypeOfColumn(int metaTypeId, bool autoIncrement);

/// Converts to the type's variant representation. An empty or blank text converts to NULL for every type but
/// strings. On failure returns false and sets *error ("'abc' is not a valid integer value").
bool tryConvert(const QVariant &value, TFieldType type, QVariant *out, QString *error = nullptr);
/// As tryConvert; raises EConvertError.
QVariant convertOrThrow(const QVariant &value, TFieldType type);

/// Dates and date-times read from text: the short date format and a few everyday variants, with an
/// optional time of day.
bool parseDateTimeText(const QString &text, QDateTime *out, bool *hasTime = nullptr);

/// The standard text: "" for null; the short date; short date plus long time when the time is not midnight;
/// "True"/"False"; floats in plain decimal notation.
QString standardText(const QVariant &value, TFieldType type);
/// A float in plain decimal notation with up to 15 significant digits.
QString floatText(double value);
/// The display text for a display-format pattern ("dd.mm.yyyy", "0.00", "Да;Нет").
QString formattedText(const QVariant &value, TFieldType type, const QString &displayFormat);
/// Date pattern of a display format in Qt's notation ("dd.mm.yyyy" → "dd.MM.yyyy").
QString qtDatePattern(const QString &displayFormat);

/// Null-aware equality of two stored values: two nulls are equal, a null and a value differ.
bool valuesEqual(const QVariant &a, const QVariant &b);
/// Ordering for sorting and filters: nulls first, numbers by value, strings in Russian collation without
/// regard to case, dates by time.
int compareValues(const QVariant &a, const QVariant &b);
/// Locale-aware case-insensitive comparison of two texts.
int compareTexts(const QString &a, const QString &b);

/// A text that identifies a value in a hash index: values of one type give equal keys exactly when equal.
QString indexKeyPart(const QVariant &value);

} // namespace olm::dataset
