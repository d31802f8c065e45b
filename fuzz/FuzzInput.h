#pragma once
// Reading a fuzz input piece by piece: bytes that steer the target, the rest
// as text. Past the end every read gives zeros or empty text, so a target
// never needs to check the length.
#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}

    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // Text up to (without) the next byte stop, or to the end.
    std::string Until(char stop) {
        std::string text;
        while (m_pos < m_size && m_data[m_pos] != static_cast<uint8_t>(stop))
            text += static_cast<char>(m_data[m_pos++]);
        if (m_pos < m_size) ++m_pos;
        return text;
    }
    std::string Rest() {
        std::string text(reinterpret_cast<const char*>(m_data) + m_pos, m_size - m_pos);
        m_pos = m_size;
        return text;
    }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
