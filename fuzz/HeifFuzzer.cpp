// Feeds arbitrary bytes to the Heif decoder with its limits, as the job calls it: whole,
// and for the part a small canvas keeps.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzBudget.h"
#include "image/decode/Decoders.h"

QUILLANE_DECODER_FUZZER(quillane::decodeHeif)
