#include "engine/storage/page_file.h"

#include <vector>

namespace engine::storage {

void PageFile::readRun(uint64_t offset, std::span<const MutableBytes> pieces) {
    for (MutableBytes piece : pieces) {
        read(offset, piece);
        offset += piece.size();
    }
}

void PageFile::writeRun(uint64_t offset, std::span<const Bytes> pieces) {
    std::vector<uint8_t> joined;
    for (Bytes piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
    write(offset, joined);
}

}  // namespace engine::storage
