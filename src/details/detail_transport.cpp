#include "detail_transport.h"

#include <algorithm>
#include <utility>

#include "app/failure_text.h"

namespace jilan::details {

net::Request partRequest(const std::string& url, query::Site site) {
    if (site == query::Site::Market) {
        return net::Request{
            .url = url, .ifModifiedSinceZero = false, .decoding = net::Decoding::Gb18030};
    }
    return net::Request{
        .url = url, .ifModifiedSinceZero = true, .decoding = net::Decoding::Declared};
}

query::BatchTransport::Answer answerOf(query::BatchTransport::Id id, net::FetchResult result) {
    query::BatchTransport::Answer answer;
    answer.id = id;
    answer.status = result.status;
    if (result.failed()) {
        answer.failed = true;
        answer.failure = app::failureText(net::causeCode(result.cause.kind), result.status,
                                          result.cause.curlMessage);
        return answer;
    }
    answer.text = std::move(result.text);
    if (!result.retryAfter.empty()) {
        answer.retryAfter = std::move(result.retryAfter);
    }
    return answer;
}

PoolTransport::PoolTransport(net::HttpLimits limits) : pool_(limits) {}

query::BatchTransport::Id PoolTransport::start(const std::string& url, query::Site site) {
    const Id id = pool_.start(partRequest(url, site));
    open_.push_back(id);
    return id;
}

std::vector<query::BatchTransport::Answer> PoolTransport::takeFinished() {
    std::vector<Answer> answers;
    std::erase_if(open_, [&](Id id) {
        if (!pool_.finished(id)) {
            return false;
        }
        if (std::optional<net::FetchResult> result = pool_.take(id)) {
            answers.push_back(answerOf(id, std::move(*result)));
        }
        return true;
    });
    return answers;
}

void PoolTransport::cancel(Id id) {
    pool_.cancel(id);
    std::erase(open_, id);
}

}  // namespace jilan::details
