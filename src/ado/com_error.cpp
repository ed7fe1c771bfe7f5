#include "ado/com_error.h"

namespace ado {

using engine::ErrorCode;

namespace {

int32_t providerNumber(ErrorCode code) {
    switch (code) {
        case ErrorCode::InvalidPassword:
            return error_number::kInvalidPassword;
        case ErrorCode::InputTableNotFound:
        case ErrorCode::TableNotFound:
            return error_number::kTableNotFound;
        case ErrorCode::UnknownField:
            return error_number::kMissingParameter;
        case ErrorCode::DataTypeMismatch:
            return error_number::kTypeMismatch;
        case ErrorCode::TableExists:
        case ErrorCode::ExpressionSyntax:
        case ErrorCode::InvalidName:
        case ErrorCode::UnknownInsertField:
        case ErrorCode::InvalidStatement:
        case ErrorCode::SyntaxError:
        case ErrorCode::InsertSyntax:
        case ErrorCode::UpdateSyntax:
        case ErrorCode::SelectSyntax:
        case ErrorCode::TrailingCharacters:
        case ErrorCode::WhereSyntax:
        case ErrorCode::TooManyColumns:
        case ErrorCode::DuplicateField:
        case ErrorCode::InvalidFieldType:
        case ErrorCode::CreateTableSyntax:
        case ErrorCode::FieldSyntax:
        case ErrorCode::DropSyntax:
        case ErrorCode::NoDatabaseNamed:
        case ErrorCode::ValueCountMismatch:
        case ErrorCode::QueryTooComplex:
        case ErrorCode::OrderBySyntax:
        case ErrorCode::OrderByDistinct:
        case ErrorCode::GroupOnStar:
        case ErrorCode::NotAggregated:
            return error_number::kErrorsInStatement;
        default:
            return error_number::kGeneralFailure;
    }
}

}  // namespace

ComError fromEngineError(const engine::EngineError& error) {
    return ComError(providerNumber(error.code()), error.what());
}

}  // namespace ado
