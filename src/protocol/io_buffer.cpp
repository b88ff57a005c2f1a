#include "protocol/io_buffer.h"

#include <cstddef>
#include <cstring>

const char VersionUnknownText[] = "N/A";

IoBufferArea IoBuffer;

void ResetVersionTexts() {
    std::strcpy(IoBuffer.firmwareVersionText, VersionUnknownText);
    std::strcpy(IoBuffer.secondVersionText, VersionUnknownText);
}

namespace {

// Before main, so every front end starts with the texts the status line shows
// until a controller has answered.
const bool VersionTextsReset = (ResetVersionTexts(), true);

}  // namespace

// The display and the file dialog address these texts by their place in the
// one area, so the layout is part of the contract.
static_assert(offsetof(IoBufferArea, firmwareVersionText) == 260, "first version text at byte 260");
static_assert(offsetof(IoBufferArea, secondVersionText) == 266, "second version text at byte 266");
static_assert(offsetof(IoBufferArea, defaultExtension) == 272, "default extension at byte 272");
static_assert(sizeof(IoBufferArea) == 276, "the area ends after the default extension");
