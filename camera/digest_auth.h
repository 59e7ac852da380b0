// HTTP digest authentication (RFC 7616 with MD5, qop "auth" or none) as the camera performs it.
//
// Every challenge carries a nonce of its own, so concurrent clients of one URI never share a
// nonce and never trip over each other's nonce counts. Issued nonces live in a table bounded in
// size and age; a correct digest over a nonce that has expired, fallen out of the table or whose
// count is replayed is answered "stale", which tells the client to retry with a fresh challenge.
//
// Threading: every member may be called from any thread; the nonce table and its random source
// are guarded by m_mutex.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>

namespace lumo_camera {

class DigestAuth {
public:
    enum class Verdict { granted, refused, stale };

    /** Far more nonces than clients can hold at once between challenge and answer. */
    static constexpr size_t kNonceCapacity = 65536;

    DigestAuth(std::string realm, std::string user, std::string password,
               std::chrono::seconds nonceLifetime);

    /** The value of a WWW-Authenticate header with a fresh nonce. */
    std::string challenge(bool stale);

    /** Checks an Authorization header of a request of `method` for the raw request target. */
    Verdict verify(const std::string& method, const std::string& uri,
                   const std::string& authorization);

    /** Forgets every issued nonce (the next answers to them are stale). */
    void forgetNonces();

    const std::string& realm() const { return m_realm; }

private:
    struct NonceState {
        std::chrono::steady_clock::time_point issued;
        uint32_t lastCount = 0;
        bool used = false;
    };

    // Drops expired nonces and, when the table is full, the oldest ones. Needs m_mutex.
    void prune(std::chrono::steady_clock::time_point now);
    // Accepts the nonce and its count once. Needs m_mutex.
    bool consumeNonce(const std::string& nonce, bool hasCount, uint32_t count);

    const std::string m_realm;
    const std::string m_user;
    const std::string m_password;
    const std::chrono::seconds m_lifetime;
    std::string m_opaque;

    std::mutex m_mutex;
    std::mt19937_64 m_random;                              // guarded by m_mutex
    uint64_t m_issued = 0;                                 // guarded by m_mutex
    std::unordered_map<std::string, NonceState> m_nonces;  // guarded by m_mutex
    std::deque<std::string> m_nonceOrder;                  // guarded by m_mutex
};

}  // namespace lumo_camera
