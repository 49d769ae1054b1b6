#include "tests/core/show_fixture.h"
#include "assets/assets.h"
#include "content/content.h"
#include "core/offline.h"
#include "music/player.h"
#include "runtime/libraries.h"
#include "runtime/virtual_clock.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>

std::string Num(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

Stream Join(std::initializer_list<Stream> parts) {
    Stream all;
    for (const Stream &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void ShowTest::SetUp() {
    char pattern[] = "/tmp/tolvmarka-core-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("TMPDIR", dir_.c_str(), 1);

    // Texture and list names count from 1 again, so every test sees the same ones.
    GlTraceReset();
    VirtualClockSet(0);
    VirtualClockSetReadCost(0);
    VirtualClockScriptReads(nullptr, 0);
    ASSERT_EQ(OfflineStart(SEED), 1);

    // The probe takes the real player's place: nothing here depends on music being played.
    PlayerFree(PLAYER_LIBRARY);
    ASSERT_NE(LibraryOpen(PLAYER_LIBRARY, PROBE_PLAYER), 0);
    auto get =
        reinterpret_cast<ProbePlayerLog_t>(LibrarySymbol(PLAYER_LIBRARY, "ProbePlayerLogGet"));
    ASSERT_NE(get, nullptr);
    log_ = get();
    *log_ = ProbePlayerLog{};

    ring_ = Record(DrawRing);
    plate_ = Record(DrawPlate);
    text_ = Record([] { DrawTextLine(ScrollText); });
    VirtualClockResetPauses();
}

void ShowTest::TearDown() {
    OfflineEnd();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

size_t ShowTest::Mark() {
    return GlTraceCalls().size();
}

const GlCall &ShowTest::FirstCall(const std::string &name, size_t from) {
    const std::vector<GlCall> &calls = GlTraceCalls();
    for (size_t i = from; i < calls.size(); i++)
        if (calls[i].name == name)
            return calls[i];
    ADD_FAILURE() << "no call to " << name;
    static const GlCall none{"(none)", {}, 0};
    return none;
}

Stream ShowTest::Since(size_t mark) {
    return GlTraceTexts(mark);
}

Stream ShowTest::Record(const std::function<void()> &work) {
    size_t mark = Mark();
    work();
    return Since(mark);
}

Stream ShowTest::FrameHead() {
    return {
        "glClear(GL_COLOR_BUFFER_BIT|GL_DEPTH_BUFFER_BIT)",
        "glMatrixMode(GL_MODELVIEW)",
        "glLoadIdentity()",
        // 1.333 and 0.1 are single-precision values widened to double.
        "gluPerspective(90,1.3329999446868896,0.10000000149011612,1000)",
    };
}

Stream ShowTest::FrameTail() {
    return {"glFlush()"};
}

Stream ShowTest::TextureSetup(GLuint texture) {
    return {
        "glEnable(GL_TEXTURE_2D)",
        "glBindTexture(GL_TEXTURE_2D," + std::to_string(texture) + ")",
        "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_S,GL_CLAMP)",
        "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_T,GL_CLAMP)",
    };
}

Stream ShowTest::Tunnel(float angle, float shift) const {
    Stream s = {
        "glPushMatrix()",
        "glEnable(GL_FOG)",
        "glRotatef(" + Num(angle) + ",0,0,1)",
        "glTranslatef(0,0," + Num(shift - 5.0f) + ")",
    };
    for (int ring = 0; ring < 51; ring++) {
        s.push_back("glTranslatef(0,0,0.25)");
        s.insert(s.end(), ring_.begin(), ring_.end());
    }
    s.push_back("glPopMatrix()");
    s.push_back("glDisable(GL_FOG)");
    return s;
}

Stream ShowTest::Object(float angle, float scale) const {
    std::string list = "glCallList(" + std::to_string(ObjectList) + ")";
    return {
        "glEnable(GL_FOG)",
        "glEnable(GL_LIGHTING)",
        "glEnable(GL_LIGHT0)",
        "glBlendFunc(GL_SRC_ALPHA,GL_SRC_ALPHA)",
        "glMaterialfv(GL_FRONT,GL_SHININESS,{127})",
        "glPushMatrix()",
        "glTranslatef(0,0,-3.5)",
        "glRotatef(90,1,0,0)",
        "glRotatef(" + Num(angle) + ",0,1,0.5)",
        // Inner copy.
        "glPushMatrix()",
        "glScalef(" + Num(scale) + "," + Num(scale) + "," + Num(scale) + ")",
        "glColor4f(1,1,1,0.5)",
        "glMaterialfv(GL_FRONT,GL_EMISSION,{1,0,0,1})",
        list,
        "glPopMatrix()",
        // Outer copy.
        "glColor4f(1,1,1,0.5)",
        "glMaterialfv(GL_FRONT,GL_EMISSION,{0,1,0.2,0.2})",
        list,
        "glPopMatrix()",
        "glDisable(GL_LIGHTING)",
        "glBlendFunc(GL_SRC_ALPHA,GL_ONE)",
        "glDisable(GL_FOG)",
    };
}

Stream ShowTest::Plates(float offsetA, float offsetB, float offsetC) const {
    return Join({
        {"glColor4f(1,0,0,0.6)"},
        // Plate 1, from the lower left.
        {"glPushMatrix()", "glTranslatef(0,0,-2)",
         "glTranslatef(" + Num(-offsetB) + "," + Num(-offsetB) + ",0)", "glRotatef(135,0,0,1)"},
        plate_,
        {"glPopMatrix()"},
        // Plate 2, from the lower right, mirrored.
        {"glPushMatrix()", "glTranslatef(0,0,-2)",
         "glTranslatef(" + Num(offsetA) + "," + Num(-offsetA) + ",0)", "glRotatef(-135,0,0,1)",
         "glRotatef(180,0,1,0)"},
        plate_,
        // Plates 3 and 4, from below.
        {"glPopMatrix()", "glPushMatrix()", "glTranslatef(0,0,-2)", "glRotatef(180,0,0,1)",
         "glTranslatef(-0.5," + Num(offsetC) + ",0)"},
        plate_,
        {"glRotatef(180,0,1,0)", "glTranslatef(-1,0,0)"},
        plate_,
        {"glPopMatrix()"},
    });
}

Stream ShowTest::Title(GLuint texture, float alpha) {
    return Join({
        {"glPushMatrix()"},
        TextureSetup(texture),
        {
            "glColor4f(1,1,1," + Num(alpha) + ")",
            "glRotatef(180,1,0,0)",
            "glBegin(GL_QUADS)",
            "glTexCoord2f(0,0)",
            "glVertex3f(-2,0,2)",
            "glTexCoord2f(1,0)",
            "glVertex3f(2,0,2)",
            "glTexCoord2f(1,1)",
            "glVertex3f(2,0.5,2)",
            "glTexCoord2f(0,1)",
            "glVertex3f(-2,0.5,2)",
            "glEnd()",
            "glPopMatrix()",
        },
    });
}

Stream ShowTest::Glitch(GLuint texture, const std::vector<int32_t> &draws) {
    Stream s = Join({
        {"glPushMatrix()"},
        TextureSetup(texture),
        {"glRotatef(180,1,0,0)", "glColor4f(1,1,1,1)", "glBegin(GL_QUADS)"},
    });
    for (int strip = 0; strip < 32; strip++) {
        if (draws.empty()) {
            s.insert(s.end(), 8, "*");
            continue;
        }
        float w1 = float(draws[2 * strip]) / 70.0f;
        float w2 = float(draws[2 * strip + 1]) / 70.0f;
        // Strip rows are multiples of 1/64: exact in binary, as are their halves.
        float ta = float(2 * strip) / 64.0f;
        float tb = float(2 * strip + 2) / 64.0f;
        s.push_back("glTexCoord2f(0," + Num(ta) + ")");
        s.push_back("glVertex3f(" + Num(-2.0f * w1) + "," + Num(ta / 2) + ",2)");
        s.push_back("glTexCoord2f(1," + Num(ta) + ")");
        s.push_back("glVertex3f(" + Num(2.0f * w2) + "," + Num(ta / 2) + ",2)");
        s.push_back("glTexCoord2f(1," + Num(tb) + ")");
        s.push_back("glVertex3f(" + Num(2.0f * w1) + "," + Num(tb / 2) + ",2)");
        s.push_back("glTexCoord2f(0," + Num(tb) + ")");
        s.push_back("glVertex3f(" + Num(-2.0f * w2) + "," + Num(tb / 2) + ",2)");
    }
    s.push_back("glEnd()");
    s.push_back("glPopMatrix()");
    return s;
}

Stream ShowTest::Sprite() {
    return Join({
        {"glPushMatrix()"},
        TextureSetup(TexSprite),
        {
            "glRotatef(180,1,0,0)",
            "*", // glTranslatef(phase / 2, folded sine / 1.2, 0)
            "glColor4f(1,1,1,1)",
            "glBegin(GL_QUADS)",
            "glTexCoord2f(0,0)",
            "glVertex3f(-0.5,-1,2)",
            "glTexCoord2f(1,0)",
            "glVertex3f(0.5,-1,2)",
            "glTexCoord2f(1,1)",
            "glVertex3f(0.5,1,2)",
            "glTexCoord2f(0,1)",
            "glVertex3f(-0.5,1,2)",
            "glEnd()",
            "glPopMatrix()",
        },
    });
}

Stream ShowTest::Scroller(float scrollX) const {
    return Join({
        {
            "glPushMatrix()",
            "glColor4f(1,0.4,0,1)",
            "glTranslatef(" + Num(-scrollX - 2.7f) + ",-1.9,-2)",
            "glScalef(0.08,0.08,0.08)",
        },
        text_,
        {"glPopMatrix()"},
    });
}
