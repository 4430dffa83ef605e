#include "history/damage.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "history/store.h"

namespace jilan::history {

std::string damageMarkPath(const std::string& storePath) {
    return storePath + ".damaged";
}

bool isDamageCode(int sqliteCode) {
    const int primary = sqliteCode & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool isMarkedDamaged(const std::string& storePath) {
    return !storePath.empty() && ::access(damageMarkPath(storePath).c_str(), F_OK) == 0;
}

void markDamaged(const std::string& storePath) {
    if (storePath.empty() || storePath.front() == ':') {
        return;  // an in-memory store has nothing beside it
    }
    const int fd = ::open(damageMarkPath(storePath).c_str(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0) {
        ::close(fd);
    }
}

bool clearDamageMark(const std::string& storePath) {
    return ::unlink(damageMarkPath(storePath).c_str()) == 0 || errno == ENOENT;
}

std::string failureReason(const std::string& storePath, int sqliteCode) {
    if (isDamageCode(sqliteCode)) {
        markDamaged(storePath);
    }
    return reasonFor(sqliteCode);
}

}  // namespace jilan::history
