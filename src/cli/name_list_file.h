#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/domain_name.h"

namespace jilan::cli {

// A line of a name list that was skipped: what is wrong with it (Chinese, without the line
// number, which the caller prints in its own words).
struct SkippedLine {
    std::size_t line = 0;  // 1-based
    std::string message;
};

// How much a list may hold: a list is read whole into memory, so a device that never ends or
// a file that is no list must be stopped before it fills the memory.
struct ListLimits {
    std::size_t maxLines = 1'000'000;
    std::size_t maxBytes = std::size_t{256} * 1024 * 1024;
    // A list longer than this has its reading shown as it goes.
    std::size_t progressEvery = 100'000;
};

// How far the reading of a list has come.
struct ListReadProgress {
    std::size_t bytes = 0;  // read so far
    std::size_t size = 0;   // a regular file's size; 0 for a pipe, whose length is not known
    std::size_t lines = 0;  // line ends read so far
};
using ListReadSink = std::function<void(const ListReadProgress&)>;

// The names of a list file, each once, in the order of their first line.
struct NameList {
    std::vector<std::string> names;
    std::vector<SkippedLine> skipped;
    // Set when the file itself could not be read (Chinese); then nothing else is.
    std::string error;
    // The reading stopped because `interrupted` was set; nothing else is set.
    bool interrupted = false;
};

// The check of a list line that is no domain (base::domainProblem).
using base::domainProblem;

// The text of a list file as UTF-8: UTF-16 when it starts with a UTF-16 byte-order mark,
// UTF-8 when it starts with the UTF-8 one or is valid UTF-8, GB18030 otherwise.
std::string decodeListText(std::string_view bytes);

// Splits decoded bytes into names: CR LF or LF line ends, blank lines and surrounding
// spaces (also the full-width and the no-break space) ignored, a name met again (in any
// letter case) kept once, a line that cannot be a domain skipped with its line number.
// More than limits.maxLines lines is an error naming the limit.
NameList parseNameList(std::string_view bytes, const ListLimits& limits = {});

// parseNameList over the list at `path`, the one reader of every name list. Only a regular
// file or a pipe (a FIFO) is read; a folder, a device or a socket is an error. More than
// limits.maxBytes is an error naming the limit. The reader never blocks for long: it waits
// for a FIFO's writer and its bytes in short polls and stops within a fraction of a second
// once `interrupted` is set. `progress`, when given, hears how far the reading has come after
// every block read and every wait of the poll.
NameList readNameListFile(const std::string& path, const std::atomic<bool>& interrupted,
                          const ListReadSink& progress, const ListLimits& limits = {});

}  // namespace jilan::cli
