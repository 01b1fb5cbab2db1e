#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"
#include "params/VParamListHandler.h"
#include "params/VPropertySet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

TEST(PropertySet, KeysAndTexts)
{
    VPropertySet set;
    EXPECT_EQ(set.GetCount(), 0u);
    set.Set("SyncMode", "3");
    set.Set("Connected", "0");
    set.Set("SyncMode", "2");
    set.Set(nullptr, "ignored");
    set.Set("Empty", nullptr);
    EXPECT_EQ(set.GetCount(), 3u);

    VStringStd text("untouched");
    EXPECT_FALSE(set.Get("syncmode", text)) << "keys are exact";
    EXPECT_FALSE(set.Get(nullptr, text));
    EXPECT_EQ(text.Str(), "untouched");
    ASSERT_TRUE(set.Get("SyncMode", text));
    EXPECT_EQ(text.Str(), "2");
    ASSERT_TRUE(set.Get("Empty", text));
    EXPECT_EQ(text.Str(), "");

    // Key order.
    ASSERT_TRUE(set.GetKeyAt(0, text));
    EXPECT_EQ(text.Str(), "Connected");
    ASSERT_TRUE(set.GetKeyAt(2, text));
    EXPECT_EQ(text.Str(), "SyncMode");
    EXPECT_FALSE(set.GetKeyAt(3, text));
}

TEST(PropertySet, TypedReadsUseTheParameterTextRules)
{
    VPropertySet set;
    set.Set("Connected", "1");
    set.Set("SystemFrameRate", "100.5");
    set.Set("DeviceID", "33554433");
    set.Set("Broken", "12abc");

    bool connected = false;
    EXPECT_TRUE(set.GetAs("Connected", connected));
    EXPECT_TRUE(connected);
    double rate = 0.0;
    EXPECT_TRUE(set.GetAs("SystemFrameRate", rate));
    EXPECT_EQ(rate, 100.5);
    uint32_t id = 0;
    EXPECT_TRUE(set.GetAs("DeviceID", id));
    EXPECT_EQ(id, 33554433u);
    int32_t broken = -1;
    EXPECT_FALSE(set.GetAs("Broken", broken));
    EXPECT_FALSE(set.GetAs("Missing", broken));
    EXPECT_EQ(broken, -1);
    EXPECT_FALSE(set.GetAs("SystemFrameRate", connected)) << "a real is not a boolean";
}

TEST(PropertySet, CopyFromAddsAndReplaces)
{
    VPropertySet a;
    VPropertySet b;
    a.Set("One", "1");
    a.Set("Two", "2");
    b.Set("Two", "two");
    b.Set("Three", "3");
    b.CopyFrom(a);
    b.CopyFrom(b);
    EXPECT_EQ(b.GetAll(),
              (std::map<std::string, std::string>{{"One", "1"}, {"Three", "3"}, {"Two", "2"}}));
    EXPECT_EQ(a.GetCount(), 2u);
}

// Several threads read one set while another writes; run under ThreadSanitizer.
TEST(PropertySet, ReadersSeeWholeValuesWhileAWriterChangesThem)
{
    VPropertySet set;
    set.Set("FrameNumber", "0");
    set.Set("Name", "a");
    constexpr int writes = 20000;
    std::atomic<bool> failed{false};
    std::atomic<bool> writerDone{false};

    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
    {
        readers.emplace_back(
            [&]
            {
                int32_t last = 0;
                while (!writerDone.load())
                {
                    int32_t frame = -1;
                    std::string name;
                    if (!set.GetAs("FrameNumber", frame) || frame < last ||
                        !set.Get("Name", name) || name.empty() ||
                        name.find_first_not_of('a') != std::string::npos)
                    {
                        failed = true;
                    }
                    last = frame;
                    VStringStd key;
                    set.GetKeyAt(set.GetCount() - 1, key);
                    set.GetAll();
                }
            });
    }
    // Two sets copying from each other at once must not deadlock.
    VPropertySet left;
    VPropertySet right;
    std::thread leftCopier(
        [&]
        {
            do
            {
                left.CopyFrom(set);
                left.CopyFrom(right);
            } while (!writerDone.load());
        });
    std::thread rightCopier(
        [&]
        {
            while (!writerDone.load())
            {
                right.CopyFrom(left);
            }
        });

    std::thread writer(
        [&]
        {
            for (int i = 1; i <= writes; ++i)
            {
                set.Set("FrameNumber", std::to_string(i).c_str());
                set.Set("Name", std::string(1 + i % 7, 'a').c_str());
                set.Set(("Key" + std::to_string(i % 50)).c_str(), "x");
            }
            writerDone = true;
        });

    writer.join();
    leftCopier.join();
    rightCopier.join();
    for (std::thread& reader : readers)
    {
        reader.join();
    }
    EXPECT_FALSE(failed.load());
    int32_t frame = 0;
    EXPECT_TRUE(set.GetAs("FrameNumber", frame));
    EXPECT_EQ(frame, writes);
    right.CopyFrom(left);
    EXPECT_TRUE(right.GetAs("FrameNumber", frame)) << "copied through left";
}

// The device pattern: one thread owns and changes the parameters, its list guard
// mirrors them into the property set, other threads only read the set.
TEST(PropertySet, MirroredParametersCanBeReadFromOtherThreads)
{
    struct Owner
    {
        bool Mirror(IParamList&, IParam& param)
        {
            VStringStd text;
            param.ToString(text);
            m_Properties.Set(param.GetKey(), text.CStr());
            return true;
        }
        VPropertySet m_Properties;
    } owner;

    VParamDefinitionList definitions("Control", "Control parameters", "Description", "General");
    AddTypedDefinition<int32_t>(definitions, "FrameNumber", "FrameNumber", "", "System", 0);
    AddTypedDefinition<double>(definitions, "SystemFrameRate", "Frame Rate", "", "System", 50.0);
    // The handler outlives the list, whose end removes it.
    VParamListHandler<Owner>::Handler handler(owner, &Owner::Mirror);
    TDestroyPtr<IParamList> list(definitions.CreateParamList());
    ASSERT_TRUE(list->SetGuard(&handler));
    ASSERT_TRUE(list->RevalidateAll());

    std::atomic<bool> done{false};
    std::atomic<bool> failed{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r)
    {
        readers.emplace_back(
            [&]
            {
                int32_t last = 0;
                while (!done.load())
                {
                    int32_t frame = -1;
                    double rate = 0.0;
                    if (!owner.m_Properties.GetAs("FrameNumber", frame) || frame < last ||
                        !owner.m_Properties.GetAs("SystemFrameRate", rate) || rate < 50.0)
                    {
                        failed = true;
                    }
                    last = frame;
                }
            });
    }
    for (int32_t frame = 1; frame <= 5000; ++frame)
    {
        SetParamValue(*list, "FrameNumber", frame, false);
        SetParamValue(*list, "SystemFrameRate", 50.0 + frame % 3, false);
    }
    done = true;
    for (std::thread& reader : readers)
    {
        reader.join();
    }
    EXPECT_FALSE(failed.load());
    int32_t frame = 0;
    EXPECT_TRUE(owner.m_Properties.GetAs("FrameNumber", frame));
    EXPECT_EQ(frame, 5000);
}
