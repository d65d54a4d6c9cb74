// Form files: what the writer writes, what the reader rebuilds, and how a bad
// file is refused without leaving anything behind.
#include "test_components.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>

using namespace qb;

namespace {

class Forms : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        TGadget::Journal.clear();
        handlers.Add("Gadget1Change", [this](TObject*) { ++changes; });
        handlers.AddTyped<TObject*, int>("WrongShape", [](TObject*, int) {});
    }
    void TearDown() override { EXPECT_EQ(TGadget::Live, 0); }

    std::unique_ptr<TComponent> Read(const std::string& text)
    {
        return std::unique_ptr<TComponent>(ReadComponentString(text, "form.txt", nullptr, &handlers));
    }

    TFormHandlers handlers;
    int changes = 0;
};

// A form using every kind of property, values away from their defaults.
std::unique_ptr<TGadget> BuildForm()
{
    auto form = std::make_unique<TGadget>(nullptr);
    form->SetName("Form1");
    auto* g1 = new TGadget(form.get());
    g1->SetName("Gadget1");
    auto* g2 = new TBigGadget(form.get());
    g2->SetName("Gadget2");
    auto* inner = new TGadget(g2);
    inner->SetName("Inner");

    std::string allBytes;
    for (int c = 0; c < 256; ++c)
        allBytes += static_cast<char>(c);
    g1->count = std::numeric_limits<int>::max();
    form->SetTag(std::numeric_limits<int>::min());
    g1->big = std::numeric_limits<long long>::max();
    g1->ratio = 0.1;
    g1->text = allBytes;
    g1->active = true;
    g1->shape = shStar;
    g1->marks = {TMark::mkBold, TMark::mkUnder};
    g1->color = static_cast<TColor>(0x80000005);
    g1->link = g2; // a reference to a component defined later in the file
    g1->onChange = TNotifyEvent([](TObject*) {}, "Gadget1Change");
    g1->pen.width = 3;
    g1->pen.inner.depth = 9;
    g2->ratio = -0.0;
    g2->text = "it's";
    g2->extra = 5;
    g2->SetTag(-1);
    g2->link = form.get();
    inner->ratio = 5e-324;
    inner->color = 0;
    form->ratio = 1e300;
    return form;
}

TEST_F(Forms, WriterOmitsDefaultsAndQuotesEveryByte)
{
    TGadget form(nullptr);
    form.SetName("Form1");
    auto* g = new TGadget(&form);
    g->SetName("Gadget1");
    g->text = std::string("ab\0c", 4) + "'\xE9";
    g->shape = shRound;
    g->pen.kind = shStar;
    g->marks = {TMark::mkItalic, TMark::mkBold};
    g->ratio = 2.5;
    EXPECT_EQ(WriteComponentString(form), "object Form1: TGadget\n"
                                          "  Ratio = 2.0\n"
                                          "  Text = ''\n"
                                          "  object Gadget1: TGadget\n"
                                          "    Ratio = 2.5\n"
                                          "    Text = 'ab'#0'c'''#233\n"
                                          "    Shape = shRound\n"
                                          "    Marks = [mkBold, mkItalic]\n"
                                          "    Pen.Kind = shStar\n"
                                          "  end\n"
                                          "end\n");
}

TEST_F(Forms, EveryPropertyKindSurvivesWriteReadWrite)
{
    std::unique_ptr<TGadget> form = BuildForm();
    std::string first = WriteComponentString(*form);
    std::unique_ptr<TComponent> copy = Read(first);
    EXPECT_EQ(WriteComponentString(*copy), first);

    auto* g1 = dynamic_cast<TGadget*>(copy->FindComponent("Gadget1"));
    auto* g2 = dynamic_cast<TBigGadget*>(copy->FindComponent("Gadget2"));
    ASSERT_TRUE(g1 && g2);
    EXPECT_EQ(g1->text.size(), 256u);
    EXPECT_EQ(g1->link, g2);
    EXPECT_EQ(g2->link, copy.get());
    EXPECT_TRUE(std::signbit(g2->ratio));
    EXPECT_EQ(g1->pen.inner.depth, 9);
    ASSERT_EQ(g2->ComponentCount(), 1);
    EXPECT_EQ(static_cast<TGadget*>(g2->Components(0))->ratio, 5e-324);
    g1->onChange(g1);
    EXPECT_EQ(changes, 1);
}

TEST_F(Forms, SpecialDoublesRoundTrip)
{
    for (double v : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(), 123456789012345678.0, 1.0 / 3}) {
        TGadget g(nullptr);
        g.ratio = v;
        std::unique_ptr<TComponent> copy = Read(WriteComponentString(g));
        double back = static_cast<TGadget*>(copy.get())->ratio;
        if (std::isnan(v))
            EXPECT_TRUE(std::isnan(back));
        else
            EXPECT_EQ(back, v);
    }
}

TEST_F(Forms, ReaderAcceptsHandWrittenForms)
{
    // A UTF-8 byte order mark first, as some editors save.
    std::unique_ptr<TComponent> root = Read("\xEF\xBB\xBF"
                                            "OBJECT Form1: TGadget\r\n"
                                            "  count = $7FFFFFFF\n"
                                            "  Color = $80000005\n"
                                            "  Ratio = -3\n"
                                            "  Text = 'split ' +\n"
                                            "    'over lines' + #10\n"
                                            "  Shape = SHROUND\n"
                                            "  Marks = []\n"
                                            "  Active = true\n"
                                            "  Link = nil\n"
                                            "  OnChange = nil\n"
                                            "End");
    auto* g = static_cast<TGadget*>(root.get());
    EXPECT_EQ(g->count, 2147483647);
    EXPECT_EQ(g->color, static_cast<TColor>(0x80000005));
    EXPECT_EQ(g->ratio, -3.0);
    EXPECT_EQ(g->text, "split over lines\n");
    EXPECT_EQ(g->shape, shRound);
    EXPECT_TRUE(g->active);
}

TEST_F(Forms, LoadingAppliesValuesInFileOrderThenCallsLoadedInCreationOrder)
{
    std::unique_ptr<TComponent> root = Read("object Form1: TGadget\n"
                                            "  object A: TGadget\n"
                                            "    Link = B\n"
                                            "    Text = 'a'\n"
                                            "    object Deep: TGadget\n"
                                            "      Text = 'd'\n"
                                            "    end\n"
                                            "  end\n"
                                            "  Text = 'form'\n"
                                            "  object B: TGadget\n"
                                            "  end\n"
                                            "end\n");
    EXPECT_EQ(TGadget::Journal, (std::vector<std::string>{"text A loading", "text Deep loading", "text Form1 loading",
                                                          "loaded Form1", "loaded A", "loaded Deep", "loaded B"}));
    for (TComponent* c : {root.get(), root->FindComponent("A"), root->FindComponent("B")})
        EXPECT_TRUE(c->ComponentState().Empty()) << c->Name();
    EXPECT_EQ(static_cast<TGadget*>(root->FindComponent("A"))->link, root->FindComponent("B"));
}

TEST_F(Forms, ReadIntoAnExistingRoot)
{
    TGadget root(nullptr);
    RegisterHandler(&root, "Gadget1Change", [this](TObject*) { changes += 10; });
    ReadComponentInto(&root, "object Form1: TGadget\n  OnChange = Gadget1Change\n  Count = 4\nend\n");
    EXPECT_EQ(root.Name(), "Form1");
    EXPECT_EQ(root.count, 4);
    root.onChange(&root);
    EXPECT_EQ(changes, 10);
    EXPECT_TRUE(root.ComponentState().Empty());
    EXPECT_THROW(ReadComponentInto(&root, "object X: TBigGadget\nend\n"), EReadError);
    EXPECT_FALSE(root.ComponentState().Contains(csLoading));
}

struct BadForm {
    const char* what;
    std::string text;
    const char* message;
};

TEST_F(Forms, BadFilesAreRefusedWithFileLineAndPropertyAndLeaveNothing)
{
    const BadForm cases[] = {
        {"unknown class", "object F: TGadget\n  object X: TNoSuch\n  end\nend\n",
         "form.txt:2: Class TNoSuch not found"},
        {"abstract class", "object F: TPersistent\nend\n", "form.txt:1: Class TPersistent not found"},
        {"unknown property", "object F: TGadget\n  Colour = 1\nend\n",
         "form.txt:2: Colour: TGadget has no property Colour"},
        {"unknown sub-property", "object F: TGadget\n  Pen.Inner.Size = 1\nend\n",
         "form.txt:2: Pen.Inner.Size: TInner has no property Size"},
        {"dots into a plain property", "object F: TGadget\n  Count.X = 1\nend\n",
         "form.txt:2: Count.X: Count is not an object property"},
        {"value on a sub-object", "object F: TGadget\n  Pen = 1\nend\n",
         "form.txt:2: Pen: An object property cannot take a value"},
        {"enum name", "object F: TGadget\n\n  Shape = shCircle\nend\n",
         "form.txt:3: Shape: 'shCircle' is not a TShape value"},
        {"set element", "object F: TGadget\n  Marks = [mkBold, mkStrike]\nend\n",
         "form.txt:2: Marks: 'mkStrike' is not a TMark value"},
        {"set syntax", "object F: TGadget\n  Marks = [mkBold mkItalic]\nend\n",
         "form.txt:2: Marks: ',' or ']' expected but 'mkItalic' found"},
        {"string for integer", "object F: TGadget\n  Count = '1'\nend\n", "form.txt:2: Count: Integer value expected"},
        {"float for integer", "object F: TGadget\n  Count = 1.5\nend\n", "form.txt:2: Count: Integer value expected"},
        {"integer overflow", "object F: TGadget\n  Count = 2147483648\nend\n",
         "form.txt:2: Count: 2147483648 is out of range"},
        {"negative overflow", "object F: TGadget\n  Count = -2147483649\nend\n",
         "form.txt:2: Count: -2147483649 is out of range"},
        {"int64 overflow", "object F: TGadget\n  Big = 99999999999999999999\nend\n",
         "form.txt:2: Big: 99999999999999999999 is out of range"},
        {"hex overflow", "object F: TGadget\n  Color = $100000000\nend\n",
         "form.txt:2: Color: $100000000 is out of range"},
        {"unknown colour", "object F: TGadget\n  Color = clNoSuch\nend\n",
         "form.txt:2: Color: 'clNoSuch' is not a TColor value"},
        {"double overflow", "object F: TGadget\n  Ratio = 1e999\nend\n",
         "form.txt:2: Ratio: 1e999 is not a valid floating point value"},
        {"boolean", "object F: TGadget\n  Active = Yes\nend\n", "form.txt:2: Active: 'Yes' is not a Boolean value"},
        {"identifier for string", "object F: TGadget\n  Text = abc\nend\n", "form.txt:2: Text: String value expected"},
        {"unterminated string", "object F: TGadget\n  Text = 'abc\nend\n", "form.txt:2: Text: Unterminated string"},
        {"bad char code", "object F: TGadget\n  Text = #256\nend\n", "form.txt:2: Text: Invalid character code"},
        {"missing end", "object F: TGadget\n  object G: TGadget\n  end\n",
         "form.txt:4: 'end' expected but end of file found"},
        {"extra end", "object F: TGadget\nend\nend\n", "form.txt:3: End of file expected but 'end' found"},
        {"truncated", "object F: TGadget\n  Text = ", "form.txt:2: Text: Invalid property value: end of file"},
        {"empty file", "", "form.txt:1: 'object' expected but end of file found"},
        {"missing component", "object F: TGadget\n  object G: TGadget\n    Link = Nobody\n  end\nend\n",
         "form.txt:3: Link: Component Nobody not found"},
        {"reference of the wrong class",
         "object F: TGadget\n  object G: TGadget\n    Link = C\n  end\n"
         "  object C: TComponent\n  end\nend\n",
         "form.txt:3: Link: C is not a TGadget"},
        {"unknown handler", "object F: TGadget\n  OnChange = Gadget1Chnage\nend\n",
         "form.txt:2: OnChange: Event handler Gadget1Chnage not found"},
        {"handler of another signature", "object F: TGadget\n  OnChange = WrongShape\nend\n",
         "form.txt:2: OnChange: Event handler 'WrongShape' has the wrong parameter list"},
        {"writer refuses the value", "object F: TGadget\n  object G: TGadget\n    Count = -1\n  end\nend\n",
         "form.txt:3: Count: Count must not be negative"},
        {"duplicate name", "object F: TGadget\n  object G: TGadget\n  end\n  object g: TGadget\n  end\nend\n",
         "form.txt:4: A component named g already exists."},
        {"bad name", "object F: TGadget\n  object 9: TGadget\n  end\nend\n",
         "form.txt:2: Identifier expected but '9' found"},
        {"binary junk", std::string("object F: TGadget\n  \x01\n", 22), "form.txt:2: Invalid character #1"},
    };
    for (const BadForm& c : cases) {
        SCOPED_TRACE(c.what);
        TComponent owner(nullptr);
        try {
            ReadComponentString(c.text, "form.txt", &owner, &handlers);
            ADD_FAILURE() << "accepted";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message, c.message);
        }
        EXPECT_EQ(owner.ComponentCount(), 0);
        EXPECT_EQ(TGadget::Live, 0);
    }
}

TEST_F(Forms, NestingIsLimited)
{
    std::string text;
    for (int i = 0; i <= MaxFormNesting; ++i)
        text += "object G" + std::to_string(i) + ": TGadget\n";
    for (int i = 0; i <= MaxFormNesting; ++i)
        text += "end\n";
    try {
        Read(text);
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "form.txt:65: Objects nested too deeply");
    }
    EXPECT_EQ(TGadget::Live, 0);
}

TEST_F(Forms, LargeFormsLoadAndFailWhole)
{
    auto flat = [](int count, const char* last) {
        std::string text = "object Form1: TGadget\n";
        for (int i = 0; i < count; ++i)
            text += "  object G" + std::to_string(i) + ": TGadget\n    Link = G" + std::to_string(i == 0 ? 0 : i - 1) +
                    "\n  end\n";
        return text + last + "end\n";
    };
    const int most = MaxFormComponents - 1; // the root counts too
    EXPECT_EQ(Read(flat(most, ""))->ComponentCount(), most);
    EXPECT_THROW(Read(flat(most, "  Link = Nobody\n")), EReadError);
    try {
        Read(flat(most + 1, ""));
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "form.txt:" + std::to_string(2 + 3 * most) + ": Too many components");
    }
}

TEST_F(Forms, RandomBytesAreRefusedQuickly)
{
    std::mt19937 rng(7);
    std::string junk(10 * 1024 * 1024, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng());
    auto start = std::chrono::steady_clock::now();
    for (std::string prefix : {"", "object F: TGadget\n  Text = '"}) {
        EXPECT_THROW(Read(prefix + junk), EReadError);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(Forms, FilesRoundTrip)
{
    std::unique_ptr<TGadget> form = BuildForm();
    auto path = std::filesystem::temp_directory_path() / "classes_test_form.txt";
    WriteComponentFile(path.string(), *form);
    std::unique_ptr<TComponent> copy(ReadComponentFile(path.string(), nullptr, &handlers));
    EXPECT_EQ(WriteComponentString(*copy), WriteComponentString(*form));
    std::filesystem::remove(path);
    EXPECT_THROW(ReadComponentFile(path.string(), nullptr), EReadError);
    EXPECT_THROW(WriteComponentFile("/nonexistent-dir/x.txt", *form), EWriteError);
}

TEST_F(Forms, ColourNamesComeFromTheInstalledConverter)
{
    RegisterColorIdents(
        [](TColor c, std::string& name) {
            if (c != 0x000080)
                return false;
            name = "clMaroon";
            return true;
        },
        [](std::string_view name, TColor& c) {
            if (name != "clMaroon")
                return false;
            c = 0x000080;
            return true;
        });
    TGadget g(nullptr);
    g.color = 0x000080;
    std::string text = WriteComponentString(g);
    EXPECT_NE(text.find("Color = clMaroon\n"), std::string::npos);
    EXPECT_EQ(static_cast<TGadget*>(Read(text).get())->color, 0x000080);
    EXPECT_EQ(static_cast<TGadget*>(Read("object TGadget\n  Color = 128\nend").get())->color, 0x000080);
    RegisterColorIdents(nullptr, nullptr);
}

} // namespace
