#pragma once

#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "server/LabFirmwareServer.h"

#include <QNetworkProxy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flashwell::test {

// A test whose firmware servers are all one lab server on the loopback, with a scratch download
// folder; the configuration is put back afterwards.
class LabServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SHttp::network().setProxy(QNetworkProxy::NoProxy);
        ASSERT_TRUE(server.listen());
        ServerConfig config;
        config.primary = config.china = config.beta = server.baseUrl();
        config.downloadsRoot = downloads.path();
        ServerConfig::install(config);
    }
    void TearDown() override { ServerConfig::install(std::nullopt); }

    QTemporaryDir downloads;
    lab::LabFirmwareServer server;
};

} // namespace flashwell::test
