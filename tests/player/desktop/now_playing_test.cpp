#include "desktop/now_playing.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "desktop/desktop_texts.h"
#include "desktop/mp3infp.h"
#include "desktop/now_playing_session.h"
#include "player_fixture.h"
#include "desktop/tag_reader.h"

namespace vortaq {
namespace {

// Every message as "msn:<UTF-16 text>" or "skype:<UTF-8 text>", after checking
// the lengths each message carries.
class RecordingTransport : public MessengerTransport {
 public:
  explicit RecordingTransport(QStringList* log, QString attachError = {}) : log_(log), error_(std::move(attachError)) {}
  void SendMsn(const CopyData& m) override {
    EXPECT_EQ(m.dwData, 1351u);
    EXPECT_EQ(m.cbData, static_cast<quint32>(m.data.size()));
    EXPECT_TRUE(m.data.endsWith(QByteArray(2, '\0')));
    log_->append("msn:" + QString::fromUtf16(reinterpret_cast<const char16_t*>(m.data.constData()),
                                             m.data.size() / 2 - 1));
  }
  void SendSkype(const CopyData& m) override {
    EXPECT_EQ(m.dwData, 0u);
    EXPECT_EQ(m.cbData, static_cast<quint32>(m.data.size()));
    EXPECT_TRUE(m.data.endsWith('\0'));
    log_->append("skype:" + QString::fromUtf8(m.data.left(m.data.size() - 1)));
  }
  QString AttachSkype() override { return error_; }

 private:
  QStringList* log_;
  QString error_;
};

const QString kMsnClear = QStringLiteral("msn:VRTQ\\0Music\\00\\0VRTQ: {0} - {1}\\0\\0\\0\\0\\0");
const QString kSkypeClear = QStringLiteral("skype:SET PROFILE RICH_MOOD_TEXT");

TEST(NowPlayingTest, MessagesAreByteExact) {
  EXPECT_EQ(MsnText("VRTQ", true, "Song", "Band"), QStringLiteral("VRTQ\\0Music\\01\\0VRTQ: {0} - {1}\\0Song\\0Band\\0\\0\\0"));
  const CopyData msn = MsnMessage("VRTQ", true, "Song", "Band");
  EXPECT_EQ(MsnText("VRTQ", true, "Song", "Band").size(), 49);
  EXPECT_EQ(msn.cbData, 100u);
  EXPECT_EQ(msn.dwData, 1351u);
  ASSERT_EQ(msn.data.size(), 100);
  EXPECT_EQ(msn.data.left(4), QByteArray("V\0R\0", 4));
  // Non-Latin text goes out as UTF-16 LE.
  const CopyData jp = MsnMessage("VRTQ", true, QStringLiteral("歌"), {});
  EXPECT_TRUE(jp.data.contains(QByteArray("\x4C\x6B", 2)));

  const CopyData skype = SkypeCommand(SkypeMoodCommand("Song", "Band"));
  EXPECT_EQ(skype.data, QByteArray("SET PROFILE RICH_MOOD_TEXT <ss type=\"music\"></ss>Song - Band\0", 61));
  EXPECT_EQ(skype.cbData, 61u);
  EXPECT_EQ(skype.dwData, 0u);
  EXPECT_EQ(SkypeCommand(SkypeClearCommand()).data, QByteArray("SET PROFILE RICH_MOOD_TEXT\0", 27));
}

TagValues Values(const QString& title, const QString& artist, const QString& video = {}) {
  return {title, artist, video, title.toUtf8(), artist.toUtf8(), video.toUtf8()};
}

TEST(NowPlayingTest, SendAndClearFollowTheRules) {
  const QString song = QStringLiteral("msn:VRTQ\\0Music\\01\\0VRTQ: {0} - {1}\\0Song\\0Band\\0\\0\\0");
  const QString mood = QStringLiteral("skype:SET PROFILE RICH_MOOD_TEXT <ss type=\"music\"></ss>Song - Band");
  struct Case {
    const char* name;
    TagValues values;
    bool unicode;
    QStringList sent;
  } cases[] = {
      {"tagged audio", Values("Song", "Band"), true, {song, mood}},
      {"video with tags", Values("Song", "Band", "avc1 320x240"), true, {}},
      {"no title, no artist", Values("", ""), true, {}},
      {"title only",
       Values("Song", ""),
       true,
       {"msn:VRTQ\\0Music\\01\\0VRTQ: {0} - {1}\\0Song\\0\\0\\0\\0",
        "skype:SET PROFILE RICH_MOOD_TEXT <ss type=\"music\"></ss>Song - "}},
      {"no UTF-16 entry points", {{}, {}, {}, "Song", "Band", {}}, false, {}},
  };
  for (const Case& c : cases) {
    QStringList log;
    RecordingTransport transport(&log);
    NowPlayingBroadcast b(&transport);
    b.SetTagsBound(true);
    b.SetMsn(true);
    EXPECT_EQ(b.SetSkype(true), "");
    b.Clear();
    b.Send(c.values, c.unicode);
    EXPECT_EQ(log, QStringList({kMsnClear, kSkypeClear}) + c.sent) << c.name;
  }
  // Without the tag plug-in nothing goes out, not even a clear.
  QStringList log;
  RecordingTransport transport(&log);
  NowPlayingBroadcast unbound(&transport);
  unbound.SetMsn(true);
  unbound.Clear();
  unbound.Send(Values("Song", "Band"), true);
  EXPECT_TRUE(log.isEmpty());
}

TEST(NowPlayingTest, LinuxHasNoSkype) {
  NoMessengers none;
  NowPlayingBroadcast b(&none);
  EXPECT_EQ(b.SetSkype(true), QString::fromUtf16(texts::kSkypeNotInstalled));
  EXPECT_FALSE(b.skype());
  EXPECT_FALSE(b.active());
}

TEST(NowPlayingTest, WatrackWindowIsHidden) {
  const auto w = CreateWatrackWindow();
  EXPECT_EQ(w->windowTitle(), "MusicCubeOne - ");
  EXPECT_EQ(w->objectName(), "TfMain");
  EXPECT_EQ(w->size(), QSize(196, 33));
  EXPECT_TRUE(w->isWindow());
  EXPECT_FALSE(w->isVisible());
}

TEST(NowPlayingTest, StartupCloseGuardHoldsCloseUntilTheEnd) {
  StartupCloseGuard g;
  EXPECT_FALSE(g.Defer());  // not starting: close at once
  g.Begin();
  EXPECT_TRUE(g.Defer());
  EXPECT_TRUE(g.End());
  g.Begin();
  EXPECT_FALSE(g.End());
}

// ---- the tag plug-in through the player's binding ----

QByteArray Id3v2Frame(const char* id, const QString& text) {
  QByteArray body("\x01", 1);  // UTF-16 with BOM
  body += QByteArray("\xFF\xFE", 2);
  for (QChar c : text) body += QByteArray(1, char(c.unicode() & 0xFF)) + QByteArray(1, char(c.unicode() >> 8));
  QByteArray f(id, 4);
  const quint32 n = body.size();
  f += QByteArray(1, char(n >> 24)) + char(n >> 16) + char(n >> 8) + char(n);
  return f + QByteArray(2, '\0') + body;
}

QByteArray Id3v2(const QString& title, const QString& artist) {
  const QByteArray frames = Id3v2Frame("TIT2", title) + Id3v2Frame("TPE1", artist);
  const quint32 n = frames.size();
  QByteArray h("ID3\x03\x00\x00", 6);
  h += char((n >> 21) & 0x7F);
  h += char((n >> 14) & 0x7F);
  h += char((n >> 7) & 0x7F);
  h += char(n & 0x7F);
  return h + frames;
}

QByteArray Id3v1(const QByteArray& title, const QByteArray& artist) {
  auto field = [](QByteArray b) { return b.leftJustified(30, '\0', true); };
  return "TAG" + field(title) + field(artist) + QByteArray(30 + 4 + 30, '\0') + QByteArray(1, char(0xFF));
}

class TagPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(tags_.Bind({"/nonexistent/libvrtqtags.so", VORTAQ_TAGS_LIB}), "");
    ASSERT_TRUE(tags_.unicode());
    tone_ = test::ReadAll(test::Fixture("tone.mp3"));
    ASSERT_GT(tone_.size(), 10);
    // Without the encoder's own ID3v2 tag, whose presence alone would choose it.
    if (tone_.startsWith("ID3")) {
      const auto b = [&](int i) { return static_cast<unsigned char>(tone_[i]) & 0x7F; };
      tone_ = tone_.mid(10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)));
    }
  }
  QString Write(const QString& name, const QByteArray& data) {
    const QString path = dir_.filePath(name);
    EXPECT_TRUE(test::WriteAll(path, data));
    return path;
  }
  QTemporaryDir dir_;
  Mp3Infp tags_;
  QByteArray tone_;
};

TEST_F(TagPluginTest, ReadsTheValuesTheTypeCalls) {
  // ID3v2 wins over ID3v1 of the same file.
  TagValues v = tags_.ReadValues(Write(QStringLiteral("両方.mp3"), Id3v2(QStringLiteral("Sång"), "Band") + tone_ + Id3v1("Old", "Older")));
  EXPECT_EQ(v, Values(QStringLiteral("Sång"), "Band"));
  v = tags_.ReadValues(Write("v1.mp3", tone_ + Id3v1("\x89\xCC", "Band")));  // 歌 in Shift_JIS
  EXPECT_EQ(v.title, QStringLiteral("歌"));
  EXPECT_EQ(v.ansiTitle, QStringLiteral("歌").toUtf8());
  // Video: the format comes with the names, so nothing is announced.
  v = tags_.ReadValues(test::Fixture("clip.mp4"));
  EXPECT_FALSE(v.videoFormat.isEmpty());
  EXPECT_FALSE(v.ansiVideoFormat.isEmpty());
  // Unreadable: all empty.
  EXPECT_EQ(tags_.ReadValues(dir_.filePath("none.mp3")), TagValues{});
  // Values are cut to 255 characters, the narrow ones before a UTF-8 sequence.
  v = tags_.ReadValues(Write("long.mp3", Id3v2(QString(300, QChar(0x6B4C)), "B") + tone_));
  EXPECT_EQ(v.title.size(), 255);
  EXPECT_EQ(v.ansiTitle.size(), 255);
  EXPECT_EQ(QString::fromUtf8(v.ansiTitle), QString(85, QChar(0x6B4C)));
}

TEST(TagPluginBindTest, RefusesMissingAndOldLibraries) {
  Mp3Infp tags;
  EXPECT_EQ(tags.Bind({"/nonexistent/libvrtqtags.so"}), QString::fromUtf16(texts::kTagsMissing));
  EXPECT_FALSE(tags.bound());
  EXPECT_EQ(tags.Bind({VORTAQ_FAKES "libfake_mp3infp.so", VORTAQ_TAGS_LIB}), QString::fromUtf16(texts::kTagsTooOld));
  EXPECT_FALSE(tags.bound());
  EXPECT_EQ(tags.ReadValues(test::Fixture("tone.mp3")), TagValues{});
  EXPECT_EQ(TagPluginCandidates("/opt/v/").first(), "/opt/v/libvrtqtags.so");
  EXPECT_TRUE(TagPluginCandidates("/opt/v/").last().endsWith("/lib/vortaq/libvrtqtags.so"));
}

// ---- reading off the GUI thread ----

TEST_F(TagPluginTest, OnlyTheLatestRequestIsAnswered) {
  auto shared = std::make_shared<Mp3Infp>();
  ASSERT_EQ(shared->Bind({VORTAQ_TAGS_LIB}), "");
  TagReader reader(shared);
  QStringList answered;
  QObject::connect(&reader, &TagReader::ValuesRead, [&](const QString&, const TagValues& v) { answered << v.title; });
  const QString a = Write("a.mp3", Id3v2("A", "x") + tone_);
  const QString b = Write("b.mp3", Id3v2("B", "x") + tone_);
  reader.Request(a);
  reader.Request(b);
  ASSERT_TRUE(test::WaitFor([&] { return !reader.pending(); }));
  test::WaitFor([] { return false; }, 200);
  EXPECT_EQ(answered, QStringList{"B"});
  // A cancelled read announces nothing.
  reader.Request(a);
  reader.Cancel();
  test::WaitFor([] { return false; }, 300);
  EXPECT_EQ(answered, QStringList{"B"});
  // The reader may go while a read runs.
  { TagReader gone(shared); gone.Request(a); }
  test::WaitFor([] { return false; }, 100);
}

TEST_F(TagPluginTest, SessionClearsThenAnnouncesAndDropsClosedFiles) {
  QStringList log;
  NowPlayingSession session(std::make_unique<RecordingTransport>(&log));
  const QList<DesktopMessage> messages = session.Start(true, true, true, {VORTAQ_TAGS_LIB});
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_TRUE(session.tagsBound());
  ASSERT_NE(session.watrackWindow(), nullptr);
  QStringList read;
  QObject::connect(&session, &NowPlayingSession::TagsRead, [&](const QString& p, const TagValues&) { read << p; });

  const QString song = Write("song.mp3", Id3v2("Song", "Band") + tone_);
  session.Opened(song);
  EXPECT_EQ(log, QStringList({kMsnClear, kSkypeClear}));  // at once; the text later
  ASSERT_TRUE(test::WaitFor([&] { return log.size() == 4; }));
  EXPECT_EQ(log[2], QStringLiteral("msn:VRTQ\\0Music\\01\\0VRTQ: {0} - {1}\\0Song\\0Band\\0\\0\\0"));
  EXPECT_EQ(read, QStringList{song});

  // Closed before its tags arrived: only the clears.
  log.clear();
  session.Opened(song);
  session.Closed();
  test::WaitFor([] { return false; }, 300);
  EXPECT_EQ(log, QStringList({kMsnClear, kSkypeClear, kMsnClear, kSkypeClear}));

  log.clear();
  session.Shutdown();
  EXPECT_EQ(log, QStringList({kMsnClear, kSkypeClear}));
  EXPECT_EQ(session.watrackWindow(), nullptr);
  EXPECT_FALSE(session.tagsBound());
}

TEST(NowPlayingSessionTest, StartOnLinuxShowsTheDesignedMessages) {
  NowPlayingSession session(std::make_unique<NoMessengers>());
  const QList<DesktopMessage> messages = session.Start(false, false, true, {"/nonexistent/libvrtqtags.so"});
  // Skype is not there; no link is on, so the plug-in is not even looked for.
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].text, "Skype is not installed!");
  EXPECT_FALSE(session.active());
  EXPECT_FALSE(session.tagsBound());

  NowPlayingSession msn(std::make_unique<NoMessengers>());
  const QList<DesktopMessage> missing = msn.Start(false, true, false, {"/nonexistent/libvrtqtags.so"});
  ASSERT_EQ(missing.size(), 1);
  EXPECT_EQ(missing[0], (DesktopMessage{QString::fromUtf16(texts::kTagsMissing), QString::fromUtf16(texts::kTagsCaption)}));
  msn.Opened("/tmp/x.mp3");  // no plug-in: nothing read, nothing sent
  msn.Shutdown();
}

}  // namespace
}  // namespace vortaq
