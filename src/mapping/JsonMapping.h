#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMetaObject>
#include <QVariant>

#include <functional>

namespace flashwell::mapping {

// Maps a JSON array onto the value of a list property (a QList of records).
using ArrayMapper = std::function<QVariant(const QJsonArray &)>;
// Property name -> how to map its array; a record declares it in a static
// `mj_objectClassInArray()` (see `arrayOf`).
using ElementClasses = QHash<QByteArray, ArrayMapper>;

// Maps a JSON object onto a record by property name: the record is a Q_GADGET whose Q_PROPERTYs
// are named exactly like the JSON keys. Numbers are taken as JSON numbers or as strings holding a
// decimal number; keys without a property, and values that do not fit, are ignored.
void fill(void *gadget, const QMetaObject &meta, const QJsonObject &json, const ElementClasses &classes = {});

template <typename Record> Record fromJson(const QJsonObject &json)
{
    Record record{};
    if constexpr (requires { Record::mj_objectClassInArray(); })
        fill(&record, Record::staticMetaObject, json, Record::mj_objectClassInArray());
    else
        fill(&record, Record::staticMetaObject, json);
    return record;
}

// One record per element that is an object, in order; other elements are skipped.
template <typename Record> QList<Record> listFromJson(const QJsonArray &array)
{
    QList<Record> out;
    for (const auto &value : array) {
        if (value.isObject())
            out.append(fromJson<Record>(value.toObject()));
    }
    return out;
}

// The declaration of a list property whose elements are `Record`s.
template <typename Record> ArrayMapper arrayOf()
{
    return [](const QJsonArray &array) { return QVariant::fromValue(listFromJson<Record>(array)); };
}

} // namespace flashwell::mapping
