#include "devices/camerawire/PreparedStream.h"

#include "devices/IDatagramSink.h"
#include "devices/camerawire/CameraRecords.h"

namespace PreparedStream
{

std::uint32_t Send(IDatagramSink& sink, const std::uint8_t* bytes, std::size_t length)
{
    if (bytes == nullptr || length < FrameTrailer::Size)
        return 0;
    std::uint32_t sent = 0;
    const auto send = [&](const std::uint8_t* data, std::size_t size)
    {
        if (sink.Send(data, size))
            sent += static_cast<std::uint32_t>(size);
    };

    const std::size_t body = length - FrameTrailer::Size;
    if (body > 0)
    {
        std::size_t offset = 0;
        for (; body - offset >= PieceSize; offset += PieceSize)
            send(bytes + offset, PieceSize);
        send(bytes + offset, body - offset); // the remainder, possibly empty
    }
    send(bytes + body, FrameTrailer::Size);
    return sent;
}

} // namespace PreparedStream
