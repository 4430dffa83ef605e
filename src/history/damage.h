#pragma once

#include <string>
#include <string_view>

namespace jilan::history {

// A store in which SQLite found a corrupt page cannot be trusted to remember that it is
// damaged, so the mark is a file beside it: PATH.damaged. While the mark is there every open of
// the store is refused with kDamagedReason; a passing integrity check or a restore from a
// backup removes it.

// The one message of a damaged store, whether this run found the damage or an earlier one did.
inline constexpr std::string_view kDamagedReason =
    "历史记录不可用：数据库文件已损坏；请运行 --restore-history 从备份恢复，"
    "或运行 --check-history 重新检查";

std::string damageMarkPath(const std::string& storePath);

// SQLITE_CORRUPT or SQLITE_NOTADB as the primary code: the file's pages are not what SQLite
// wrote.
bool isDamageCode(int sqliteCode);

bool isMarkedDamaged(const std::string& storePath);
// Best effort: a folder that cannot take the mark still gets the message of this run.
void markDamaged(const std::string& storePath);
// False when a mark is there and could not be removed.
bool clearDamageMark(const std::string& storePath);

// reasonFor(code), after marking the store damaged when the code says it is.
std::string failureReason(const std::string& storePath, int sqliteCode);

}  // namespace jilan::history
