#include "table_file/table_file.hpp"

Status TableFile::check_size() const
{
    if (written_ == planned_) {
        return {};
    }
    return Failure{"cannot write " + table_.label,
                   std::to_string(written_) + " bytes written where " + std::to_string(planned_) + " were planned"};
}
