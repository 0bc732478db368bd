#pragma once

// WAV files written byte by byte, for files that no sound library would
// write: fields that disagree, sizes that lie.

#include <QByteArray>
#include <QtEndian>
#include <cstdint>

namespace vemba::wavbytes {

template <typename T> void put(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// The fields of the "fmt " chunk, then whatever an extended format adds.
struct Format {
    std::uint16_t format = 1, channels = 1;
    std::uint32_t rate = 48000, byteRate = 96000;
    std::uint16_t blockAlign = 2, bits = 16;
    QByteArray extension = {};
};

// A RIFF WAVE file whose sizes agree with a data chunk of `dataBytes`, then
// `data` as the chunk's contents, however long it really is.
inline QByteArray file(const Format& f, std::uint32_t dataBytes, const QByteArray& data) {
    QByteArray fmt;
    put(fmt, f.format);
    put(fmt, f.channels);
    put(fmt, f.rate);
    put(fmt, f.byteRate);
    put(fmt, f.blockAlign);
    put(fmt, f.bits);
    fmt += f.extension;
    QByteArray out("RIFF");
    put(out, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8) + dataBytes);
    out += "WAVEfmt ";
    put(out, static_cast<std::uint32_t>(fmt.size()));
    out += fmt + "data";
    put(out, dataBytes);
    return out + data;
}

} // namespace vemba::wavbytes
