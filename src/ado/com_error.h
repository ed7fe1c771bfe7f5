// The run-time error every failing operation of the ADO stand-in raises: a number as the
// platform reports it (the provider's HRESULT as a signed 32-bit number, or one of ADO's own
// small numbers) and a description that names the object concerned and never a password.
//
//   number        raised for
//   -2147467259   general failures: a missing file, an unrecognized format, a file in use, a
//                 read-only database, a damaged file, "Could not find installable ISAM."
//   -2147217843   "Not a valid password."
//   -2147217900   errors in the statement: syntax, names, "Table 'x' already exists.", fields
//                 defined twice, too many fields, a count of values that does not match
//   -2147217904   a name that is no field of the table (the engine takes it for a parameter)
//   -2147217913   "Data type mismatch ..." between a value and a field
//   -2147217865   a missing table: "The database engine cannot find the input table or query
//                 'x'. ..." and "Table 'x' does not exist."
//   -2147217805   a connection string that is not made of KEYWORD=value parts
//   429           "ActiveX component can't create object"
//   3001          a property set to a value outside its range
//   3021          a field read, or a move made, with no current row
//   3251          an operation the object does not provide
//   3265          a field name the rowset does not have
//   3704          "Operation is not allowed when the object is closed."
//   3705          "Operation is not allowed when the object is open."
//   3706          "Provider cannot be found. It may not be properly installed."
#pragma once

#include "engine/error.h"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

namespace ado {

namespace error_number {
inline constexpr int32_t kGeneralFailure = -2147467259;       // 0x80004005
inline constexpr int32_t kInvalidPassword = -2147217843;      // 0x80040E4D
inline constexpr int32_t kErrorsInStatement = -2147217900;    // 0x80040E14
inline constexpr int32_t kMissingParameter = -2147217904;     // 0x80040E10
inline constexpr int32_t kTypeMismatch = -2147217913;         // 0x80040E07
inline constexpr int32_t kTableNotFound = -2147217865;        // 0x80040E37
inline constexpr int32_t kBadConnectionString = -2147217805;  // 0x80040E73
inline constexpr int32_t kOutOfMemory = -2147024882;          // 0x8007000E
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kArgumentOutOfRange = 3001;
inline constexpr int32_t kNoCurrentRow = 3021;
inline constexpr int32_t kNotProvided = 3251;
inline constexpr int32_t kFieldNotFound = 3265;
inline constexpr int32_t kObjectClosed = 3704;
inline constexpr int32_t kObjectOpen = 3705;
inline constexpr int32_t kProviderNotFound = 3706;
}  // namespace error_number

// what() is the description.
class ComError : public std::runtime_error {
public:
    ComError(int32_t number, const std::string& description)
        : std::runtime_error(description), m_number(number) {}

    int32_t number() const { return m_number; }

private:
    int32_t m_number;
};

// The error the provider raises for an engine error: the engine's text under the provider's
// number for its kind (table above).
ComError fromEngineError(const engine::EngineError& error);

// Runs action, raising what the engine (or the memory allocator) throws as a ComError.
template <typename Action>
auto asComErrors(Action&& action) -> decltype(action()) {
    try {
        return action();
    } catch (const engine::EngineError& error) {
        throw fromEngineError(error);
    } catch (const std::bad_alloc&) {
        throw ComError(error_number::kOutOfMemory,
                       "Not enough storage is available to complete "
                       "this operation.");
    }
}

}  // namespace ado
