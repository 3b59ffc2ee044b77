// libFuzzer target for the IMAP response reader: the line assembler and
// every parser of a complete response.
// Not part of the default build; scripts/fuzz.sh builds and runs it:
//
//   scripts/fuzz.sh 1000000 imapparser
//
// The first byte of an input chooses the chunk sizes in which the rest is
// fed, as a socket would deliver it. Every complete response is parsed as
// each kind of response; none may crash, hang or throw, and a failed
// assembler must stay failed.

#include "platform/imap/LineAssembler.h"
#include "platform/imap/MailboxData.h"
#include "platform/imap/MessageData.h"
#include "platform/imap/Response.h"

#include <cstdlib>

using namespace mrv::imap;

namespace {

void parseEveryWay(const QByteArray &line)
{
    const Result<Response> response = parseResponse(line);
    if (!response)
        return;
    // Whatever the keyword says, every parser must cope with the data.
    Response asKind = response.value();
    for (const char *keyword : {"FETCH", "LIST", "STATUS", "VANISHED"}) {
        asKind.keyword = keyword;
        if (!asKind.number)
            asKind.number = 1;
        (void)parseFetchResponse(asKind);
        (void)parseListResponse(asKind);
        (void)parseStatusResponse(asKind);
        (void)parseVanishedResponse(asKind);
    }
    for (const ResponseValue &value : response->values) {
        (void)parseEnvelope(value);
        (void)parseBodyStructure(value);
        (void)capabilitiesOf(value.items);
    }
    (void)parseInternalDate(line);
    (void)UidSet::parse(line);
    (void)MailboxName::fromWire(line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype chunk = 1 + data[0] % 16;
    const QByteArrayView stream(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    LineAssembler assembler(4096);
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        assembler.feed(stream.sliced(at, std::min(chunk, stream.size() - at)));
        while (const auto line = assembler.takeResponse()) {
            if (assembler.failed())
                std::abort();
            parseEveryWay(*line);
        }
    }
    return 0;
}
