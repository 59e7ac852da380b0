#include "digest_auth.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "md5.h"

namespace lumo_camera {

namespace {

std::string hex64(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Parses the parameters of "Digest k=v, k="quoted", ..."; false when malformed.
bool parseDigestHeader(const std::string& header, std::map<std::string, std::string>& params) {
    static const std::string kScheme = "Digest";
    if (header.size() <= kScheme.size() || !equalsIgnoringCase(header.substr(0, 6), kScheme) ||
        header[6] != ' ') {
        return false;
    }
    size_t pos = 7;
    const auto skipBlanks = [&] {
        while (pos < header.size() && (header[pos] == ' ' || header[pos] == '\t'))
            ++pos;
    };
    while (true) {
        skipBlanks();
        if (pos >= header.size())
            return true;
        const size_t equal = header.find('=', pos);
        if (equal == std::string::npos)
            return false;
        std::string key = header.substr(pos, equal - pos);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        pos = equal + 1;
        skipBlanks();
        std::string value;
        if (pos < header.size() && header[pos] == '"') {
            ++pos;
            while (pos < header.size() && header[pos] != '"') {
                if (header[pos] == '\\' && pos + 1 < header.size())
                    ++pos;
                value += header[pos++];
            }
            if (pos >= header.size())
                return false;
            ++pos;
        } else {
            while (pos < header.size() && header[pos] != ',' && header[pos] != ' ')
                value += header[pos++];
        }
        if (key.empty() || params.count(key) != 0)
            return false;
        params[key] = value;
        skipBlanks();
        if (pos < header.size()) {
            if (header[pos] != ',')
                return false;
            ++pos;
        }
    }
}

bool parseCount(const std::string& text, uint32_t& count) {
    if (text.size() != 8)
        return false;
    count = 0;
    for (const char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : (std::tolower(static_cast<unsigned char>(c)) >= 'a' &&
                                         std::tolower(static_cast<unsigned char>(c)) <= 'f'
                                     ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                     : -1);
        if (digit < 0)
            return false;
        count = count * 16 + static_cast<uint32_t>(digit);
    }
    return true;
}

}  // namespace

DigestAuth::DigestAuth(std::string realm, std::string user, std::string password,
                       std::chrono::seconds nonceLifetime)
    : m_realm(std::move(realm)),
      m_user(std::move(user)),
      m_password(std::move(password)),
      m_lifetime(nonceLifetime),
      m_random(std::random_device{}()) {
    m_opaque = hex64(m_random()) + hex64(m_random());
}

std::string DigestAuth::challenge(bool stale) {
    std::string nonce;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        prune(now);
        // The issue counter alone makes every nonce unique; the random part makes it unguessable.
        nonce = hex64(++m_issued) + hex64(m_random()) + hex64(m_random());
        m_nonces[nonce] = NonceState{now, 0, false};
        m_nonceOrder.push_back(nonce);
    }
    std::string header = "Digest realm=\"" + m_realm + "\", qop=\"auth\", algorithm=MD5, nonce=\"" +
                         nonce + "\", opaque=\"" + m_opaque + "\"";
    if (stale)
        header += ", stale=true";
    return header;
}

DigestAuth::Verdict DigestAuth::verify(const std::string& method, const std::string& uri,
                                       const std::string& authorization) {
    std::map<std::string, std::string> p;
    if (!parseDigestHeader(authorization, p))
        return Verdict::refused;
    for (const char* key : {"username", "realm", "nonce", "uri", "response"}) {
        if (p.count(key) == 0)
            return Verdict::refused;
    }
    if (p.count("algorithm") != 0 && !equalsIgnoringCase(p["algorithm"], "MD5"))
        return Verdict::refused;
    if (p.count("opaque") != 0 && p["opaque"] != m_opaque)
        return Verdict::refused;
    if (p["username"] != m_user || p["realm"] != m_realm || p["uri"] != uri)
        return Verdict::refused;

    const bool hasQop = p.count("qop") != 0;
    uint32_t count = 0;
    if (hasQop && (p["qop"] != "auth" || p.count("cnonce") == 0 || !parseCount(p["nc"], count)))
        return Verdict::refused;

    const std::string ha1 = md5Hex(m_user + ":" + m_realm + ":" + m_password);
    const std::string ha2 = md5Hex(method + ":" + uri);
    const std::string expected =
        hasQop ? md5Hex(ha1 + ":" + p["nonce"] + ":" + p["nc"] + ":" + p["cnonce"] + ":auth:" + ha2)
               : md5Hex(ha1 + ":" + p["nonce"] + ":" + ha2);
    if (!equalsIgnoringCase(p["response"], expected))
        return Verdict::refused;

    const std::lock_guard<std::mutex> lock(m_mutex);
    prune(std::chrono::steady_clock::now());
    return consumeNonce(p["nonce"], hasQop, count) ? Verdict::granted : Verdict::stale;
}

void DigestAuth::forgetNonces() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_nonces.clear();
    m_nonceOrder.clear();
}

void DigestAuth::prune(std::chrono::steady_clock::time_point now) {
    while (!m_nonceOrder.empty()) {
        const auto it = m_nonces.find(m_nonceOrder.front());
        const bool expired = it == m_nonces.end() || now - it->second.issued >= m_lifetime;
        if (!expired && m_nonceOrder.size() < kNonceCapacity)
            break;
        if (it != m_nonces.end())
            m_nonces.erase(it);
        m_nonceOrder.pop_front();
    }
}

bool DigestAuth::consumeNonce(const std::string& nonce, bool hasCount, uint32_t count) {
    const auto it = m_nonces.find(nonce);
    if (it == m_nonces.end())
        return false;
    NonceState& state = it->second;
    // With a count a nonce serves again for every higher count; without one it serves once.
    if (hasCount) {
        if (count <= state.lastCount)
            return false;
        state.lastCount = count;
        return true;
    }
    if (state.used)
        return false;
    state.used = true;
    return true;
}

}  // namespace lumo_camera
