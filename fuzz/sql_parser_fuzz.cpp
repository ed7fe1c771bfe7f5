// Feeds arbitrary bytes to the SQL parser. It must return a tree or throw EngineError; any
// other exception, a crash or a sanitizer report is a bug. Keep inputs that found one as cases
// in tests/engine/sql.
#include "engine/error.h"
#include "engine/sql/parser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        engine::sql::parseStatement(text);
    } catch (const engine::EngineError&) {
        // Refusing a statement is a correct outcome.
    }
    return 0;
}
