#pragma once

#include "up_to_date_rule.h"

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

class SystemCalls;

// The record a copy keeps of its source, in an extended attribute of the copy under this
// program's name: a few bytes led by their version, so that a record of another form reads
// as none.
inline constexpr const char *kSourceRecordAttribute = "user.sprigwell.source";

// None for a time the record cannot hold (centuries away): such a copy is compared by its data.
std::optional<std::string> encodeSourceRecord(const SourceRecord &record);
std::optional<SourceRecord> decodeSourceRecord(std::string_view encoded);

// Nanoseconds since 1970, which hold the years 1678 to 2261: none for a time outside them.
std::optional<std::int64_t> nanosOf(const struct timespec &time);

// The record of the entry `name` in `folder`: none where it has none, or none this program
// can read. `driveHoldsNone` is set where the drive keeps no user attributes at all.
std::optional<SourceRecord> readSourceRecord(SystemCalls &calls, int folder, const char *name,
                                             bool &driveHoldsNone);

// Gives the open copy `fd` its record, in place of any it had. A drive that refuses it is no
// problem: the refusal is given back. A failure that stops the run is thrown. A record that
// cannot be made is not written.
std::error_code writeSourceRecord(SystemCalls &calls, int fd, const SourceRecord &record);
