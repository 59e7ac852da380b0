// An RTSP server for the live source's tests, on a loopback port of its own: an H.264 test
// picture and, unless told otherwise, a metadata track whose RTP packets the test writes itself
// (so that it can drop, reorder or leave out markers), with sender reports from the server.
#pragma once

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "live/rtp_wire.h"

namespace live_test {

struct ServerOptions {
    bool metadataTrack = true;
    std::string login;  // digest authentication when not empty
    std::string password;
    size_t documentBytes = 3000;
    size_t packetBytes = 1000;
    int dropEvery = 0;  // drop every Nth metadata packet
    bool marker = true;
    bool swapPairs = false;  // send packets 2k+1 before 2k
    int periodMs = 40;
};

class TestRtspServer {
public:
    explicit TestRtspServer(ServerOptions options) : m_options(std::move(options)) {
        gst_init(nullptr, nullptr);
        m_context = g_main_context_new();
        m_loop = g_main_loop_new(m_context, FALSE);
        m_server = gst_rtsp_server_new();
        gst_rtsp_server_set_address(m_server, "127.0.0.1");
        gst_rtsp_server_set_service(m_server, "0");
        GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
        std::string launch =
            "( videotestsrc is-live=true ! video/x-raw,width=320,height=240,framerate=10/1 ! "
            "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=10 ! "
            "rtph264pay name=pay0 pt=96 ";
        if (m_options.metadataTrack)
            launch +=
                "appsrc name=pay1 is-live=true format=time do-timestamp=true "
                "caps=\"application/x-rtp,media=application,encoding-name=VND.ONVIF.METADATA,"
                "clock-rate=90000,payload=107\" ";
        launch += ")";
        gst_rtsp_media_factory_set_launch(factory, launch.c_str());
        g_signal_connect(factory, "media-configure", G_CALLBACK(onMediaConfigure), this);
        if (!m_options.login.empty()) {
            GstRTSPAuth* auth = gst_rtsp_auth_new();
            gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
            GstRTSPToken* token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE,
                                                     G_TYPE_STRING, "user", nullptr);
            gst_rtsp_auth_add_digest(auth, m_options.login.c_str(), m_options.password.c_str(),
                                     token);
            gst_rtsp_token_unref(token);
            gst_rtsp_server_set_auth(m_server, auth);
            g_object_unref(auth);
            gst_rtsp_media_factory_add_role(
                factory, "user", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
        }
        GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(m_server);
        gst_rtsp_mount_points_add_factory(mounts, "/stream1", factory);
        g_object_unref(mounts);
        m_sourceId = gst_rtsp_server_attach(m_server, m_context);
        m_port = gst_rtsp_server_get_bound_port(m_server);
        m_thread = std::thread([this] { g_main_loop_run(m_loop); });
        m_feeder = std::thread([this] { feed(); });
    }

    ~TestRtspServer() {
        m_stop = true;
        m_feeder.join();
        closeClients();
        g_main_loop_quit(m_loop);
        m_thread.join();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_appsrc)
                gst_object_unref(m_appsrc);
            m_appsrc = nullptr;
        }
        GSource* source = g_main_context_find_source_by_id(m_context, m_sourceId);
        if (source)
            g_source_destroy(source);
        g_object_unref(m_server);
        g_main_loop_unref(m_loop);
        g_main_context_unref(m_context);
    }

    std::string url() const { return "rtsp://127.0.0.1:" + std::to_string(m_port) + "/stream1"; }

    /** Cuts every client off, as a camera that restarts. */
    void closeClients() {
        gst_rtsp_server_client_filter(
            m_server,
            [](GstRTSPServer*, GstRTSPClient*, gpointer) { return GST_RTSP_FILTER_REMOVE; },
            nullptr);
    }

    /** The documents sent whole, and those that lost a packet, by number. */
    std::set<int> sentWhole() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_whole;
    }
    std::set<int> sentBroken() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_broken;
    }

    static std::string document(int n, size_t size) {
        std::string doc = "<?xml version=\"1.0\"?><doc n=\"" + std::to_string(n) + "\">";
        doc.append(size > doc.size() + 6 ? size - doc.size() - 6 : 0, 'a' + n % 26);
        return doc + "</doc>";
    }

private:
    static void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer self) {
        auto* server = static_cast<TestRtspServer*>(self);
        GstElement* bin = gst_rtsp_media_get_element(media);
        GstElement* appsrc = gst_bin_get_by_name(GST_BIN(bin), "pay1");
        gst_object_unref(bin);
        std::lock_guard<std::mutex> lock(server->m_mutex);
        if (server->m_appsrc)
            gst_object_unref(server->m_appsrc);
        server->m_appsrc = appsrc;
    }

    // Buffers stamped before the media plays would hold the server's sender back for good.
    bool playing() {
        std::lock_guard<std::mutex> lock(m_mutex);
        GstState state = GST_STATE_NULL;
        return m_appsrc &&
               gst_element_get_state(m_appsrc, &state, nullptr, 0) != GST_STATE_CHANGE_FAILURE &&
               state == GST_STATE_PLAYING;
    }

    void push(const std::vector<uint8_t>& bytes) {
        GstElement* appsrc = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_appsrc)
                appsrc = GST_ELEMENT(gst_object_ref(m_appsrc));
        }
        if (!appsrc)
            return;
        GstBuffer* buffer = gst_buffer_new_memdup(bytes.data(), bytes.size());
        gst_app_src_push_buffer(GST_APP_SRC(appsrc), buffer);
        gst_object_unref(appsrc);
    }

    void feed() {
        uint16_t sequence = 1000;
        int packetCount = 0;
        for (int n = 0; !m_stop; ++n) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_options.periodMs));
            if (!playing())
                continue;
            const std::string doc = document(n, m_options.documentBytes);
            std::vector<std::vector<uint8_t>> packets;
            bool broken = false;
            for (size_t at = 0; at < doc.size(); at += m_options.packetBytes) {
                WirePacket p;
                p.sequence = sequence++;
                p.timestamp = static_cast<uint32_t>(n) * 3600U;
                p.marker = m_options.marker && at + m_options.packetBytes >= doc.size();
                p.payload = doc.substr(at, m_options.packetBytes);
                if (m_options.dropEvery > 0 && ++packetCount % m_options.dropEvery == 0) {
                    broken = true;
                    continue;
                }
                packets.push_back(wireBytes(p));
            }
            if (m_options.swapPairs)
                for (size_t i = 0; i + 1 < packets.size(); i += 2)
                    std::swap(packets[i], packets[i + 1]);
            for (const auto& bytes : packets)
                push(bytes);
            std::lock_guard<std::mutex> lock(m_mutex);
            (broken ? m_broken : m_whole).insert(n);
        }
    }

    const ServerOptions m_options;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    GstRTSPServer* m_server = nullptr;
    guint m_sourceId = 0;
    int m_port = 0;
    std::thread m_thread;
    std::thread m_feeder;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    GstElement* m_appsrc = nullptr;  // guarded by m_mutex
    std::set<int> m_whole;           // guarded by m_mutex
    std::set<int> m_broken;          // guarded by m_mutex
};

}  // namespace live_test
