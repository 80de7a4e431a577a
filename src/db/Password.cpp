#include "db/Password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace db {

static std::string toHex(const unsigned char* data, size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

static bool fromHex(const std::string& text, std::vector<unsigned char>& out) {
    if (text.size() % 2) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<unsigned char>(hi * 16 + lo));
    }
    return true;
}

static std::vector<unsigned char> derive(const std::string& password, const std::vector<unsigned char>& salt,
                                         int iterations) {
    std::vector<unsigned char> key(32);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(), static_cast<int>(key.size()),
                          key.data()) != 1)
        throw std::runtime_error("Falha ao calcular o resumo da senha.");
    return key;
}

std::string hashPassword(const std::string& password, int iterations) {
    std::vector<unsigned char> salt(16);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
        throw std::runtime_error("Falha ao gerar o sal da senha.");
    const auto key = derive(password, salt, iterations);
    return "pbkdf2-sha256$" + std::to_string(iterations) + "$" + toHex(salt.data(), salt.size()) + "$" +
           toHex(key.data(), key.size());
}

bool verifyPassword(const std::string& password, const std::string& stored) {
    const std::string prefix = "pbkdf2-sha256$";
    if (stored.rfind(prefix, 0) != 0) return false;
    const size_t a = stored.find('$', prefix.size());
    const size_t b = a == std::string::npos ? a : stored.find('$', a + 1);
    if (b == std::string::npos) return false;
    int iterations = 0;
    try {
        iterations = std::stoi(stored.substr(prefix.size(), a - prefix.size()));
    } catch (const std::exception&) {
        return false;
    }
    std::vector<unsigned char> salt, expected;
    if (iterations < 1 || !fromHex(stored.substr(a + 1, b - a - 1), salt) || !fromHex(stored.substr(b + 1), expected) ||
        expected.empty())
        return false;
    const auto key = derive(password, salt, iterations);
    return key.size() == expected.size() && CRYPTO_memcmp(key.data(), expected.data(), key.size()) == 0;
}

std::string sha256Hex(const std::string& text) {
    // Fetched once: looking the algorithm up on every call (EVP_sha256) cost
    // more than hashing a session token, which every call does.
    static const EVP_MD* const sha256 = [] {
        const EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
        return md ? md : EVP_sha256();
    }();
    unsigned char digest[32];
    unsigned int size = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &size, sha256, nullptr) != 1 || size != sizeof digest)
        throw std::runtime_error("Falha ao calcular SHA-256.");
    return toHex(digest, sizeof digest);
}

std::string randomHex(size_t bytes) {
    std::vector<unsigned char> data(bytes);
    if (RAND_bytes(data.data(), static_cast<int>(data.size())) != 1)
        throw std::runtime_error("Falha ao gerar números aleatórios.");
    return toHex(data.data(), data.size());
}

} // namespace db

namespace db {

const std::map<std::string, std::string_view>& embeddedFiles();

namespace {

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const std::set<std::string>& commonPasswords() {
    static const std::set<std::string> list = [] {
        std::set<std::string> out;
        const auto it = embeddedFiles().find("common-passwords.txt");
        if (it == embeddedFiles().end()) return out;
        std::istringstream in{std::string(it->second)};
        std::string line;
        while (std::getline(in, line)) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            if (!line.empty() && line[0] != '#') out.insert(lowered(line));
        }
        return out;
    }();
    return list;
}

size_t characters(const std::string& utf8) {
    size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

std::optional<std::string> passwordProblem(const std::string& operatorCode, const std::string& password) {
    if (characters(password) < 10) return "A senha deve ter ao menos 10 caracteres.";
    if (password.size() > 128) return "A senha deve ter no máximo 128 caracteres.";
    if (lowered(password) == lowered(operatorCode)) return "A senha não pode ser o código do operador.";
    if (commonPasswords().count(lowered(password))) return "Senha muito comum: escolha outra.";
    return std::nullopt;
}

} // namespace db
