#include "models/FirmwareFileBuilder.h"
#include "platform/Bytes.h"

#include "boot/Crc.h"
#include "platform/HidReport.h"

#include <array>

namespace flashwell::lab {

QByteArray ClassicFirmware::build() const
{
    std::array<uint8_t, 28> header{};
    wire::putLe16(header, 0, version);
    wire::putLe16(header, 2, beta);
    wire::putLe32(header, 4, address);
    wire::putLe32(header, 8, totalLengthOverride.value_or(static_cast<uint32_t>(data.size())));
    wire::putLe32(header, 12, productId);
    for (int i = 0; i < 12 && i < extra.size(); ++i)
        header[16 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(extra[i]);
    QByteArray out = byteArrayOf(header);
    out.append(data);
    return out;
}

QByteArray buildVela2File(const std::vector<Vela2Record> &records)
{
    QByteArray out;
    for (const Vela2Record &r : records) {
        ClassicFirmware record;
        record.version = r.version;
        record.beta = r.beta;
        record.address = r.address;
        record.productId = r.pid;
        record.data = r.payload;
        record.totalLengthOverride = r.lengthOverride;
        out.append(record.build());
    }
    return out;
}

QByteArray HjzFirmware::build() const
{
    std::array<uint8_t, 64> header{};
    wire::putLe32(header, 0, deviceId);
    wire::putLe32(header, 8, totalLengthOverride.value_or(static_cast<uint32_t>(data.size())));
    wire::putLe32(header, 12, pageSizeOverride.value_or(pageSize));
    QByteArray table;
    for (qsizetype at = 0; pageSize > 0 && at < data.size(); at += pageSize) {
        const QByteArray page = data.mid(at, pageSize);
        std::array<uint8_t, 4> crc{};
        wire::putLe32(crc, 0, crc::crc32(bytesOf(page)));
        table.append(byteArrayOf(crc));
    }
    return byteArrayOf(header).append(table).append(data);
}

QByteArray patternBytes(int size, uint32_t seed)
{
    QByteArray out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x & 0xFF);
    }
    return out;
}

} // namespace flashwell::lab
