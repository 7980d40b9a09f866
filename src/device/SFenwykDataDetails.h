#pragma once

#include <QString>

#include <cstdint>
#include <memory>

namespace flashwell {

// One entry of the device catalogue. Entries are shared: every record of the product points at
// the same object, so a change to `name` or `type` is seen by all later lookups.
class SFenwykDataDetails final
{
public:
    // The display name: the China-language name in a Chinese interface where one exists.
    QString name() const;
    // The name as the catalogue stores it.
    const QString &storedName() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    uint16_t pid = 0;
    uint16_t vid = 0;
    int32_t type = 0;
    QString miniImageName;
    QString moreImage;
    QString moreImagehighlight;
    int64_t order = 0;

    QString description() const;

private:
    QString m_name;
};

using SFenwykDataDetailsPtr = std::shared_ptr<SFenwykDataDetails>;

} // namespace flashwell
