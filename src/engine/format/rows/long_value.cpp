#include "engine/format/rows/long_value.h"

#include "engine/format/space/data_page.h"

#include <algorithm>
#include <set>

namespace engine::format {

using storage::readU24LE;
using storage::readU32LE;

namespace {

[[noreturn]] void damaged(const storage::Pager& pager, PageNumber page, const std::string& what) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + pager.path() + "' is damaged: a long value " + what +
                          " (page " + std::to_string(page) + ").",
                      page);
}

storage::Bytes longValueRow(const DataPageView& view, uint8_t row) {
    view.requireOwner(kLongValueOwner);
    RowSlot slot = view.slot(row);
    return view.rowBytes(slot);
}

}  // namespace

storage::Bytes readLongValue(storage::Pager& pager, const JetFormat& format,
                             storage::Bytes descriptor, ByteString& scratch) {
    if (descriptor.size() < kLongValueDescriptorSize) {
        damaged(pager, 0, "descriptor is cut short");
    }
    uint32_t header = readU32LE(descriptor, 0);
    size_t length = header & kLongValueLengthMask;
    uint8_t row = descriptor[4];
    PageNumber page = readU24LE(descriptor, 5);

    if (header & kLongValueInline) {
        if (length > descriptor.size() - kLongValueDescriptorSize) {
            damaged(pager, 0, "claims more inline data than its row holds");
        }
        return descriptor.subspan(kLongValueDescriptorSize, length);
    }
    // An empty value needs no page: Access leaves the pointer of a value it emptied, and other
    // readers read such a value as empty without following it.
    if (length == 0) return {};
    // No value can be longer than the file that holds it.
    if (length > static_cast<uint64_t>(pager.pageCount()) * format.pageSize) {
        damaged(pager, page, "claims more data than the file holds");
    }

    if (header & kLongValueSingleRow) {
        auto contents = pager.read(page);
        DataPageView view(*contents, format, page, pager.path());
        auto bytes = longValueRow(view, row);
        if (length > bytes.size()) damaged(pager, page, "is shorter than its declared length");
        scratch.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        return scratch;
    }
    if ((header & ~kLongValueLengthMask) != 0) {
        damaged(pager, page, "has an unknown storage type");
    }

    ByteString& data = scratch;
    data.clear();
    data.reserve(std::min<size_t>(length, 1 << 20));
    std::set<std::pair<PageNumber, uint8_t>> visited;
    while (data.size() < length) {
        if (page == 0) damaged(pager, 0, "chain ends before its declared length");
        if (!visited.insert({page, row}).second) damaged(pager, page, "chain loops");
        auto contents = pager.read(page);
        DataPageView view(*contents, format, page, pager.path());
        auto bytes = longValueRow(view, row);
        if (bytes.size() < 4) damaged(pager, page, "chain holds a row too short for its link");
        size_t take = std::min(bytes.size() - 4, length - data.size());
        data.insert(data.end(), bytes.begin() + 4,
                    bytes.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        row = bytes[0];
        page = readU24LE(bytes, 1);
    }
    return data;
}

ByteString readLongValue(storage::Pager& pager, const JetFormat& format,
                         storage::Bytes descriptor) {
    ByteString scratch;
    auto data = readLongValue(pager, format, descriptor, scratch);
    if (data.data() == scratch.data()) return scratch;
    return {data.begin(), data.end()};
}

}  // namespace engine::format
