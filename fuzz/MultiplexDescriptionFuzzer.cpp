// Multiplex descriptions and the elementary-stream files they name come from whoever sets up a
// device's radio: any bytes must be refused or taken whole. The first byte chooses what the rest
// is: a description, MPEG-2 video or MPEG audio. A description taken has texts its tables can
// hold and services whose PIDs do not repeat; a stream taken is cut into units that lie inside it.

#include "broadcast/ElementaryStream.h"
#include "broadcast/MultiplexBuilder.h"

#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const kivo::Bytes rest(data + 1, data + size);
    std::string error;
    switch (data[0] % 3) {
    case 0: {
        auto description = kivo::parse_multiplex_description(std::string(rest.begin(), rest.end()), error);
        if (!description) {
            if (error.empty())
                std::abort();
            return 0;
        }
        std::set<uint16_t> pids;
        for (const kivo::ServiceDescription& service : description->services) {
            if (!kivo::encode_dvb_text(service.name) || !kivo::encode_dvb_text(service.provider) || !pids.insert(service.pmt_pid).second)
                std::abort();
            for (const kivo::StreamDescription& stream : service.streams)
                if (!pids.insert(stream.pid).second)
                    std::abort();
            for (const kivo::RotaEntry& entry : service.rota)
                for (const kivo::EventTexts& texts : entry.texts)
                    if (!kivo::encode_dvb_text(texts.name) || !kivo::encode_dvb_text(texts.text) || !kivo::encode_dvb_text(texts.extended))
                        std::abort();
        }
        break;
    }
    case 1:
    case 2: {
        auto stream = data[0] % 3 == 1 ? kivo::parse_mpeg2_video(rest, error) : kivo::parse_mpeg_audio(rest, error);
        if (!stream) {
            if (error.empty())
                std::abort();
            return 0;
        }
        size_t total = 0;
        for (const kivo::Bytes& unit : stream->units)
            total += unit.size();
        if (stream->units.empty() || total > rest.size() || stream->units_per_second_numerator == 0)
            std::abort();
        break;
    }
    }
    return 0;
}
