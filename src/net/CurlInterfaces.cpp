#include "net/CurlInterfaces.h"

#include <algorithm>
#include <cstring>

namespace corvane {

qint64 TRawByteStream::Write(const char *Data, qint64 Count) {
    if (Count <= 0) return 0;
    if (fPos + Count > fData.size()) fData.resize(fPos + Count);
    std::memcpy(fData.data() + fPos, Data, size_t(Count));
    fPos += Count;
    return Count;
}

qint64 TRawByteStream::Read(char *Data, qint64 Count) {
    const qint64 n = std::clamp<qint64>(fData.size() - fPos, 0, std::max<qint64>(Count, 0));
    if (n > 0) std::memcpy(Data, fData.constData() + fPos, size_t(n));
    fPos += n;
    return n;
}

qint64 TRawByteStream::Seek(qint64 Position) {
    fPos = std::clamp<qint64>(Position, 0, fData.size());
    return fPos;
}

void TRawByteStream::SetSize(qint64 Size) {
    if (Size < 0) throw std::range_error("[TRawByteStream.SetSize] Wrong size");
    fData.resize(Size);
    fPos = std::min(fPos, Size);
}

} // namespace corvane
