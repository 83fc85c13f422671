#include "protocol/Rc4.h"

#include <utility>

CRc4::CRc4(const uint8_t* key, size_t keySize) {
    for (int i = 0; i < 256; ++i) m_s[i] = uint8_t(i);
    if (keySize == 0) return;  // no key: leave the identity permutation, never divide by 0
    uint8_t j = 0;
    for (size_t i = 0; i < 256; ++i) {
        j = uint8_t(j + m_s[i] + key[i % keySize]);
        std::swap(m_s[i], m_s[j]);
    }
}

void CRc4::Apply(uint8_t* buffer, size_t size) {
    uint8_t i = m_i, j = m_j;
    for (size_t n = 0; n < size; ++n) {
        i = uint8_t(i + 1);
        j = uint8_t(j + m_s[i]);
        std::swap(m_s[i], m_s[j]);
        buffer[n] ^= m_s[uint8_t(m_s[i] + m_s[j])];
    }
    m_i = i;
    m_j = j;
}
