#include "mapping/JsonMapping.h"

#include <QMetaProperty>

#include <cmath>
#include <cstdint>
#include <limits>

namespace flashwell::mapping {

namespace {

// A JSON number, or a string holding a decimal number.
bool numberFrom(const QJsonValue &value, double &out)
{
    if (value.isDouble()) {
        out = value.toDouble();
        return true;
    }
    if (value.isString()) {
        bool ok = false;
        out = value.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(out);
    }
    return false;
}

QVariant convert(const QJsonValue &value, const QMetaProperty &property)
{
    double number = 0;
    switch (property.metaType().id()) {
    case QMetaType::Int:
        // Out-of-range numbers are refused rather than wrapped.
        if (!numberFrom(value, number) || number < std::numeric_limits<int32_t>::min()
            || number > std::numeric_limits<int32_t>::max())
            return {};
        return QVariant::fromValue(static_cast<int32_t>(number));
    case QMetaType::Float:
        return numberFrom(value, number) ? QVariant::fromValue(static_cast<float>(number)) : QVariant();
    case QMetaType::Double:
        return numberFrom(value, number) ? QVariant::fromValue(number) : QVariant();
    case QMetaType::QString:
        if (value.isString())
            return value.toString();
        if (value.isDouble())
            return QString::number(value.toDouble());
        return {};
    case QMetaType::Bool:
        return value.isBool() ? QVariant(value.toBool()) : QVariant();
    default:
        return {};
    }
}

} // namespace

void fill(void *gadget, const QMetaObject &meta, const QJsonObject &json, const ElementClasses &classes)
{
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        const auto it = json.constFind(QLatin1String(property.name()));
        if (it == json.constEnd() || !property.isWritable())
            continue;
        QVariant value;
        if (const auto element = classes.constFind(QByteArray(property.name())); element != classes.constEnd()) {
            if (it->isArray())
                value = (*element)(it->toArray());
        } else {
            value = convert(*it, property);
        }
        if (value.isValid())
            property.writeOnGadget(gadget, value);
    }
}

} // namespace flashwell::mapping
