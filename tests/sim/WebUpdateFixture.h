#pragma once

// An update web server on its own HTTP and HTTPS host, serving a small folder: two
// executables with version resources, a language file in a sub-folder and a data
// file whose record the manifest changes.
#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>
#include <fstream>
#include <memory>
#include <string>

#include "EventLog.h"
#include "PeFileBuilder.h"
#include "WebTestClient.h"
#include "web/HttpServer.h"
#include "web/UpdateWebServer.h"

// "해당없음" in code page 949, as the file list sends it.
inline const std::string kNoVersion949 = "\xc7\xd8\xb4\xe7\xbe\xf8\xc0\xbd";

class WebUpdateTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_certDir = testing::TempDir() + "/sim-cert-update-" + std::to_string(::getpid());
        ASSERT_TRUE(MakeTestCertificate(s_certDir));
    }

    void SetUp() override {
        // ctest runs these tests side by side, each in a process of its own: each
        // needs a folder of its own, or one test's clean-up empties another's.
        m_folder = std::filesystem::path(testing::TempDir()) /
                   ("update-files-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        pe_builder::WriteFile(
            m_folder / "Vantor Tavrel.exe",
            pe_builder::PeFile(pe_builder::VersionBlock(u"041204b0", u"3, 0, 1, 1004", true)));
        pe_builder::WriteFile(
            m_folder / "VTUpdaterT.exe",
            pe_builder::PeFile(pe_builder::VersionBlock(u"041204b0", u"1.0.0.9", true)));
        pe_builder::WriteFile(m_folder / "language" / "Vantor TavrelEng.dll",
                              std::vector<uint8_t>(300, 7));
        pe_builder::WriteFile(m_folder / "sound.dat", std::vector<uint8_t>(50, 1));
        std::ofstream(m_folder / CUpdateWebServer::kManifestName)
            << "# path,productType,fileKey,stageName,version\n"
               "sound.dat,u_other,*,sound.tmp,*\n";
        CWebHostOptions options;
        options.certFile = s_certDir + "/cert.pem";
        options.keyFile = s_certDir + "/key.pem";
        ASSERT_TRUE(m_host.Start(options)) << m_host.LastError();
        m_server = std::make_unique<CUpdateWebServer>(m_host, m_folder.string(), &m_log);
    }
    void TearDown() override {
        m_host.Stop();
        std::filesystem::remove_all(m_folder);
    }
    WebReply Get(const std::string& target, bool secure = false,
                 const std::string& agent = "Vantor") {
        return WebGet(secure ? m_host.HttpsPort() : m_host.HttpPort(), target, secure, agent);
    }
    std::string Download(const std::string& key) {
        return std::string(CUpdateWebServer::kDownloadPath) + "?type=" + key +
               "&releaseversion=2.0Login&dummy=-12";
    }

    static std::string s_certDir;
    std::filesystem::path m_folder;
    CEventLog m_log;
    CWebHost m_host;
    std::unique_ptr<CUpdateWebServer> m_server;
};

inline std::string WebUpdateTest::s_certDir;
