// The setup calls: finding the camera's port, the installed models, the driver object.
#include "SimTestSupport.h"

#include <psError.h>

#include <cstdlib>
#include <fstream>

#include <unistd.h>

namespace simcam::test {
namespace {

struct ModelStream : pslStream {
    std::vector<psModelDescripEx2> models;
    ModelStream()
    {
        static const pslStreamOps kOps = {&ModelStream::onWrite, nullptr};
        ops = &kOps;
    }
    static psResult onWrite(pslStream *stream, const void *data, uint32_t size)
    {
        if (size != sizeof(psModelDescripEx2))
            return 0xBAD;
        psModelDescripEx2 model;
        std::memcpy(&model, data, sizeof model);
        static_cast<ModelStream *>(stream)->models.push_back(model);
        return 0;
    }
};

TEST(SimSetup, UsbPortIsTheCameraAndSerialFailsUnlessConfigured)
{
    configureCamera(testConfig());
    psPortDescrip port{};
    EXPECT_EQ(PSUGetDevicePort(PS_PORT_TYPE_USB, 0, nullptr, &port, 0, 1), 0u);
    EXPECT_EQ(port.portType, PS_PORT_TYPE_USB);
    EXPECT_NE(std::string(port.portName), "");
    EXPECT_EQ(psErrorCode(PSUGetDevicePort(PS_PORT_TYPE_SERIAL, 0, nullptr, &port, 0, 1)), psERR_DEVICE_NOT_FOUND);

    SimConfig serial = testConfig();
    ASSERT_TRUE(serial.apply("port2=1"));
    configureCamera(serial);
    EXPECT_EQ(PSUGetDevicePort(PS_PORT_TYPE_SERIAL, 0, nullptr, &port, 0, 1), 0u);
    EXPECT_EQ(port.portType, PS_PORT_TYPE_SERIAL);
}

TEST(SimSetup, NoCameraAttachedFailsBothPortTypes)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("attached=0"));
    configureCamera(config);
    psPortDescrip port{};
    EXPECT_NE(PSUGetDevicePort(PS_PORT_TYPE_USB, 0, nullptr, &port, 0, 1), 0u);
    EXPECT_NE(PSUGetDevicePort(PS_PORT_TYPE_SERIAL, 0, nullptr, &port, 0, 1), 0u);
}

TEST(SimSetup, EnvironmentConfiguresTheCamera)
{
    ::setenv("QUILLOMAT_SIMCAM", "model=EOS D30;mode=Av;card=120;transfer=usb1;owner=Grace", 1);
    configureCameraFromEnvironment();
    ::unsetenv("QUILLOMAT_SIMCAM");
    const auto camera = simulatedCamera();
    EXPECT_EQ(camera->state().model.name, "EOS D30");
    EXPECT_EQ(camera->state().exposureMode, ModeAv);
    EXPECT_EQ(camera->shotsRemaining(), 120u);
}

TEST(SimSetup, ProfileFileAndEnvironmentCombine)
{
    const auto folder = testFolder();
    const auto profile = folder / "camera.profile";
    std::ofstream(profile) << "# a studio camera\nmodel=EOS D30\n\niso=400\ncard=none\n";
    ::setenv("QUILLOMAT_SIMCAM", ("profile=" + profile.string() + ";iso=200").c_str(), 1);
    const SimConfig config = SimConfig::fromEnvironment();
    ::unsetenv("QUILLOMAT_SIMCAM");
    EXPECT_EQ(config.state.model.name, "EOS D30");
    EXPECT_EQ(config.state.iso, 0x50);   // the variable's own key comes after the profile
    EXPECT_FALSE(config.cardPresent);
}

TEST(SimSetup, BadConfigurationKeysAreReported)
{
    SimConfig config = testConfig();
    std::string error;
    EXPECT_FALSE(config.apply("tv=1/123", &error));
    EXPECT_NE(error.find("tv"), std::string::npos);
    EXPECT_FALSE(config.apply("colour=blue", &error));
    EXPECT_NE(error.find("colour"), std::string::npos);
    EXPECT_TRUE(config.apply(" tv = 1/250 ; av=5.6 "));
    EXPECT_EQ(config.state.tv, 0x78);
    EXPECT_EQ(config.state.av, 0x30);
}

TEST(SimSetup, BuiltInModelListWithoutRegistration)
{
    std::filesystem::remove(registrationRecordPath());
    ModelStream stream;
    ASSERT_EQ(PSUGetInstalledCameraModelsEx2(&stream), 0u);
    ASSERT_EQ(stream.models.size(), 6u);
    EXPECT_EQ(std::string(stream.models[0].modelName), "EOS D30");
    EXPECT_EQ(stream.models[0].modelId, 0x01140000u);
    EXPECT_EQ(std::string(stream.models[1].modelName), "EOS D60");
    EXPECT_EQ(stream.models[1].modelId, 0x01168000u);
    EXPECT_EQ(std::string(stream.models[5].modelName), "PowerShot 350");
    EXPECT_EQ(stream.models[5].modelId, 0x01030000u);
}

TEST(SimSetup, RegistrationRecordGivesTheModelsInItsOrder)
{
    // A configuration folder of its own: the other tests run beside this one
    // and expect no record in the shared one.
    const std::filesystem::path home =
        std::filesystem::path(QUILLOMAT_TEST_BINARY_DIR) / "test-home" / ("config-" + std::to_string(getpid()));
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const std::filesystem::path path = registrationRecordPath();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "# camera runtime registration\nname=Quillomat simulated camera runtime\n"
                           "version=1.0.0\nlibdir=/opt/simcam\nmodel=0x01168000 EOS D60\n\n"
                           "unknown=ignored\nmodel=0x01140000 EOS D30\n";
    ModelStream stream;
    const psResult status = PSUGetInstalledCameraModelsEx2(&stream);
    std::filesystem::remove_all(home);
    ASSERT_EQ(status, 0u);
    ASSERT_EQ(stream.models.size(), 2u);
    EXPECT_EQ(std::string(stream.models[0].modelName), "EOS D60");
    EXPECT_EQ(stream.models[1].modelId, 0x01140000u);
}

TEST(SimSetup, RefusingStreamEndsTheModelList)
{
    std::filesystem::remove(registrationRecordPath());
    struct Refusing : pslStream {
        int calls = 0;
    } stream;
    static const pslStreamOps kOps = {[](pslStream *s, const void *, uint32_t) -> psResult {
                                          return ++static_cast<Refusing *>(s)->calls == 2 ? 0xA8u : 0u;
                                      },
                                      nullptr};
    stream.ops = &kOps;
    EXPECT_EQ(PSUGetInstalledCameraModelsEx2(&stream), 0xA8u);
    EXPECT_EQ(stream.calls, 2);
}

TEST(SimSetup, DriverObjectCarriesItsVersionAndSize)
{
    pslBASE_API *driver = nullptr;
    ASSERT_EQ(PSULoadDriver(0, &driver, 1), 0u);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->structSize, sizeof(pslBASE_API));
    EXPECT_EQ(driver->version, PSL_API_VERSION);
    EXPECT_EQ(PSSetLastModel(0x01168000), 0u);
    EXPECT_EQ(PSUUnloadDriver(0, driver, 1), 0u);
    EXPECT_NE(PSULoadDriver(0, nullptr, 1), 0u);
}

} // namespace
} // namespace simcam::test
