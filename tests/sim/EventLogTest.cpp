#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "EventLog.h"

namespace {

TEST(EventLog, LinesParseBackToTheSameFields) {
    CEventLog log;
    log.Emit("recv", {{"role", "lectern"},
                      {"code", std::u16string(u"[RH00001]")},
                      {"quote", "say \"hi\"\n\\"},
                      {"korean", std::u16string(u"선생님")},
                      {"size", 99},
                      {"ok", true}});
    SimEvent e = log.Events().at(0);
    std::vector<EventField> fields;
    ASSERT_TRUE(ParseFlatJson(e.Json(), fields));
    CEventLog copy;
    copy.EmitJsonLine(e.Json());
    SimEvent back = copy.Events().at(0);
    EXPECT_EQ(back.kind, "recv");
    EXPECT_EQ(back.Text("code"), "[RH00001]");
    EXPECT_EQ(back.Text("quote"), "say \"hi\"\n\\");
    EXPECT_EQ(back.Text("korean"), "선생님");
    EXPECT_EQ(back.Int("size"), 99);
    EXPECT_EQ(back.Text("ok"), "true");
    EXPECT_FALSE(back.Has("seq"));  // assigned anew, not a field
}

TEST(EventLog, FlatJsonAcceptsOnlyFlatObjects) {
    struct Case {
        const char* line;
        bool ok;
        size_t fields;
    } cases[] = {
        {R"({"kind":"a","n":-5,"b":false,"z":null})", true, 4},
        {R"(  { }  )", true, 0},
        {R"({"s":"\u00e9\ud55c"})", true, 1},
        {R"({"kind":"a",})", false, 0},
        {R"({"kind":{"nested":1}})", false, 0},
        {R"({"kind":"a"} trailing)", false, 0},
        {R"({"kind":"unterminated)", false, 0},
        {R"(["kind"])", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        std::vector<EventField> f;
        EXPECT_EQ(ParseFlatJson(c.line, f), c.ok) << c.line;
        EXPECT_EQ(f.size(), c.fields) << c.line;
    }
    std::vector<EventField> f;
    ASSERT_TRUE(ParseFlatJson(R"({"s":"\u00e9\ud55c"})", f));
    EXPECT_EQ(f[0].second.text, "é한");
}

TEST(EventLog, LineSinkKeepsBrokenLinesAsRaw) {
    CEventLog log;
    auto sink = log.LineSink();
    sink(R"({"kind":"http_request","status":200})");
    sink("not json");
    auto events = log.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, "http_request");
    EXPECT_EQ(events[0].Int("status"), 200);
    EXPECT_EQ(events[1].kind, "raw");
    EXPECT_EQ(events[1].Text("line"), "not json");
}

TEST(EventLog, WaitForSeesEventsFromOtherThreadsAndTimesOut) {
    CEventLog log;
    uint64_t before = log.Emit("early", {{"n", 1}});
    std::thread t([&log] {
        for (int i = 0; i < 50; ++i) log.Emit("tick", {{"n", i}});
        log.Emit("done");
    });
    auto done = log.WaitFor(CEventLog::Kind("done"), std::chrono::milliseconds(10000));
    t.join();
    ASSERT_TRUE(done.has_value());
    EXPECT_TRUE(log.WaitForCount(CEventLog::Kind("tick"), 50, std::chrono::milliseconds(10000)));
    // afterSeq skips what happened before.
    EXPECT_FALSE(log.WaitFor(CEventLog::Kind("early"), std::chrono::milliseconds(50), before));
    EXPECT_TRUE(
        log.WaitFor(CEventLog::KindWith("tick", "n", "49"), std::chrono::milliseconds(10000))
            .has_value());
    EXPECT_EQ(log.Count(CEventLog::Kind("tick")), 50u);
}

TEST(EventLog, MemoryLimitDropsOldestButWaitStillFindsNewer) {
    CEventLog log;
    log.SetMemoryLimit(3);
    for (int i = 0; i < 10; ++i) log.Emit("e", {{"n", i}});
    auto events = log.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events.front().Int("n"), 7);
    EXPECT_EQ(log.LastSeq(), 10u);
    auto e = log.WaitFor(CEventLog::Kind("e"), std::chrono::milliseconds(10), 8);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->seq, 9u);
}

TEST(EventLog, WritesOneLinePerEventToAFile) {
    std::string path = ::testing::TempDir() + "classroom_events.jsonl";
    std::remove(path.c_str());
    {
        CEventLog log;
        ASSERT_TRUE(log.WriteToFile(path));
        log.Emit("a", {{"x", "1,2"}});
        log.Emit("b");
    }
    std::ifstream in(path);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        std::vector<EventField> f;
        EXPECT_TRUE(ParseFlatJson(line, f)) << line;
        ++lines;
    }
    EXPECT_EQ(lines, 2);
    EXPECT_FALSE(CEventLog().WriteToFile("/nonexistent-dir/x.jsonl"));
}

}  // namespace
