#pragma once

#include <string>

#include "fetch_result.h"
#include "transfer_pool.h"

namespace jilan::net {

// What a waiting fetch does between two looks at its transfer.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Lets the window handle its pending events once. Returns false when the
    // wait must be abandoned because the program is ending.
    virtual bool pumpOnce() = 0;
};

// The three ways a page is fetched and returned as text.
class PageFetcher {
public:
    PageFetcher(TransferPool& pool, EventPump& pump) : pool_(pool), pump_(pump) {}

    // Sends "If-Modified-Since: 0" and waits without freezing the window: it
    // polls the transfer with a short bounded wait and pumps window events in
    // between, so clicks and ticks run meanwhile. Decodes by the declared
    // charset. `coding` is accepted for the callers' sake and has no effect.
    FetchResult GetBody(const std::string& url, const std::string& coding);
    // Blocking, no added header, no window events; decoded as GB18030.
    FetchResult HtmlStr(const std::string& url);
    // The transfer control's fetch: blocking as well, decoded as GB18030.
    FetchResult OpenURL(const std::string& url);

    TransferPool& pool() { return pool_; }
    // One round of window events, for callers that wait on the pool themselves.
    bool pumpEvents() { return pump_.pumpOnce(); }

private:
    TransferPool& pool_;
    EventPump& pump_;
};

}  // namespace jilan::net
