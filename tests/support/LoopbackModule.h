#pragma once
// A Modbus/TCP module on 127.0.0.1 in a thread, for the tests and the
// figures: 300 input registers (holding registers are refused), one client
// at a time; `silent` takes requests and never answers; forgeNext() changes
// the next answer (a module that lies). Port 0 lets the system choose; port()
// says which.
#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <modbus/modbus.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

class LoopbackModule {
public:
    explicit LoopbackModule(int port = 0) {
        m_context = modbus_new_tcp("127.0.0.1", port);
        m_listener = modbus_tcp_listen(m_context, 1);
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&bound), &size);
        m_port = ntohs(bound.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackModule() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
        modbus_free(m_context);
        modbus_mapping_free(m_registers);
    }
    int port() const { return m_port; }
    void set(int index, uint16_t value) {
        std::lock_guard lock(m_mutex);
        m_registers->tab_input_registers[index] = value;
    }
    // The next answer to a register read, as it would go out, is handed to `change` first.
    void forgeNext(std::function<void(std::vector<uint8_t>&)> change) {
        std::lock_guard lock(m_mutex);
        m_forge = std::move(change);
    }
    int requests() const { return m_requests; }
    std::atomic<bool> silent{false};

private:
    static bool readable(int socket) {
        pollfd wanted{socket, POLLIN, 0};
        return ::poll(&wanted, 1, 10) > 0;
    }
    void serve() {
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        int client = -1;
        while (!m_stop) {
            if (client < 0) {
                if (readable(m_listener))
                    client = modbus_tcp_accept(m_context, &m_listener);
                continue;
            }
            if (!readable(client))
                continue;
            modbus_set_socket(m_context, client);
            const int length = modbus_receive(m_context, query);
            if (length < 0) {
                ::close(client);
                client = -1;
            } else if (length > 0 && !silent) {
                std::lock_guard lock(m_mutex);
                ++m_requests;
                if (m_forge)
                    sendForged(client, query);
                else
                    modbus_reply(m_context, query, length, m_registers);
            }
        }
        if (client >= 0)
            ::close(client);
    }

    void sendForged(int client, const uint8_t* query) {
        std::vector<uint8_t> answer(query, query + 8); // header and function
        const int first = query[8] << 8 | query[9];
        const int count = query[10] << 8 | query[11];
        answer.push_back(static_cast<uint8_t>(2 * count));
        for (int i = first; i < first + count; ++i) {
            answer.push_back(static_cast<uint8_t>(m_registers->tab_input_registers[i] >> 8));
            answer.push_back(static_cast<uint8_t>(m_registers->tab_input_registers[i]));
        }
        answer[5] = static_cast<uint8_t>(answer.size() - 6);
        std::exchange(m_forge, nullptr)(answer);
        ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
    }

    modbus_t* m_context = nullptr;
    std::function<void(std::vector<uint8_t>&)> m_forge;
    modbus_mapping_t* m_registers = modbus_mapping_new(0, 0, 0, 300);
    int m_listener = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::atomic<int> m_requests{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
