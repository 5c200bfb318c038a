#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/xml.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

const char* kRecord =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<root>\n"
    "  <item id=\"1\" scale=\"0.5\" comma=\"0,5\"><name>First</name><count>12 pieces</count>"
    "<price>2,50</price></item>\n"
    "  <item id=\"2\"><name>Second</name></item>\n"
    "</root>\n";

class XmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setupLog(true, std::nullopt);
    setLogging(true, false);
  }
  void TearDown() override { setLogging(false, false); }
  std::string logText() const { return test::readFile(*getLogPath()); }
  test::TempHome home;
};

TEST_F(XmlTest, KeysAreFirstChildElements) {
  auto doc = xmlDocWithString(kRecord);
  ASSERT_TRUE(doc);
  xmlNodePtr item = xmlElementForKey(doc->root(), "item");
  ASSERT_TRUE(item);
  EXPECT_EQ(stringForKey(item, "name", "x"), "First");
  EXPECT_EQ(stringForKey(item, "missing", "x"), "x");
  EXPECT_EQ(stringForKey(item, "missing"), std::nullopt);
  EXPECT_EQ(integerForKey(item, "count", 7), 12);
  EXPECT_EQ(intForKey(item, "name", 7), 0);
  EXPECT_EQ(integerForKey(item, "missing", 7), 7);
  EXPECT_FLOAT_EQ(floatForKey(item, "price", 1), 2.5f);
  EXPECT_FLOAT_EQ(floatForKey(item, "missing", 1), 1.0f);
  EXPECT_EQ(xmlElementForKey(item, "nothing"), nullptr);
  EXPECT_EQ(stringForKey(static_cast<xmlNodePtr>(nullptr), "name", "d"), "d");

  setStringForKey(item, "name", "Renamed <&>");
  EXPECT_EQ(stringForKey(item, "name"), "Renamed <&>");
  setStringForKey(item, "extra", "new");
  xmlNodePtr last = xmlGetLastChild(item);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(last->name)), "extra");
  EXPECT_EQ(xmlStringValue(last), "new");

  xmlNodePtr created = nodeForKey(item, "fresh", false);  // the flag is not consulted
  ASSERT_TRUE(created);
  EXPECT_EQ(nodeForKey(item, "fresh"), created);
  EXPECT_EQ(xmlStringValue(created), "");
}

TEST_F(XmlTest, Attributes) {
  auto doc = xmlDocWithString(kRecord);
  xmlNodePtr item = xmlElementForKey(doc->root(), "item");
  EXPECT_EQ(stringForAttribute(item, "id", "x"), "1");
  EXPECT_EQ(stringForAttribute(item, "none", "x"), "x");
  EXPECT_EQ(integerForAttribute(item, "id", 5), 1);
  EXPECT_EQ(integerForAttribute(item, "none", 5), 5);
  EXPECT_FLOAT_EQ(floatForAttribute(item, "scale", 3), 0.5f);
  EXPECT_FLOAT_EQ(floatForAttribute(item, "comma", 3), 0.0f);  // no comma replacement
  EXPECT_FLOAT_EQ(floatForAttribute(item, "none", 3), 3.0f);

  setNodeAttribute(item, "id", "9");  // replaces
  setNodeAttribute(item, "n", 4);
  setNodeAttribute(item, "f", 1.25f);
  setNodeAttribute(item, std::nullopt, "x");
  setNodeAttribute(item, "nil", std::nullopt);
  EXPECT_EQ(stringForAttribute(item, "id"), "9");
  EXPECT_EQ(stringForAttribute(item, "n"), "4");
  EXPECT_EQ(stringForAttribute(item, "f"), "1.25");
  EXPECT_EQ(stringForAttribute(item, "nil"), std::nullopt);
  int attributes = 0;
  for (xmlAttrPtr a = item->properties; a; a = a->next) ++attributes;
  EXPECT_EQ(attributes, 5);  // id, scale, comma, n, f

  setNodeAttribute(doc->root(), "item[2]", "mark", "yes");
  setNodeAttribute(doc->root(), "item[2]/name", "n", 2);
  setNodeAttribute(doc->root(), "item[3]", "mark", "no");  // nothing selected
  auto second = nodeForXPath(doc->root(), "item[2]");
  EXPECT_EQ(stringForAttribute(second, "mark"), "yes");
  EXPECT_EQ(integerForAttribute(xmlElementForKey(second, "name"), "n", 0), 2);
  EXPECT_EQ(nodesForXPath(doc->root(), "//@mark")->size(), 1u);
}

TEST_F(XmlTest, XPath) {
  auto doc = xmlDocWithString(kRecord);
  auto items = nodesForXPath(doc->node(), "/root/item");
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ(stringForAttribute(items->at(1), "id"), "2");
  EXPECT_EQ(nodesForXPath(doc->root(), "item/name")->size(), 2u);
  EXPECT_TRUE(nodesForXPath(doc->root(), "nothing")->empty());
  EXPECT_EQ(nodeForXPath(doc->root(), "nothing"), nullptr);
  EXPECT_EQ(xmlStringValue(nodeForXPath(doc->root(), "item/name")), "First");
  EXPECT_EQ(nodesForXPath(doc->root(), "namespace::*")->size(), 0u);  // namespace nodes left out

  EXPECT_FALSE(nodesForXPath(doc->root(), "item[[["));
  EXPECT_FALSE(nodesForXPath(doc->root(), "count(item)"));  // not a node set
  EXPECT_EQ(nodeForXPath(doc->root(), "///"), nullptr);
  EXPECT_FALSE(nodesForXPath(nullptr, "item"));
  EXPECT_NE(logText().find("XPath error"), std::string::npos) << logText();
  EXPECT_NE(logText().find("not a node set"), std::string::npos) << logText();
}

TEST_F(XmlTest, ParseErrorsAreLoggedAndGiveNone) {
  EXPECT_FALSE(xmlDocWithString("<a><b></a>"));
  EXPECT_FALSE(xmlDocWithString(""));
  EXPECT_FALSE(xmlDocWithPath((home.scratch() / "missing.xml").string()));
  const std::string log = logText();
  EXPECT_NE(log.find("Premature end of data"), std::string::npos) << log;  // errors are logged
  EXPECT_NE(log.find("missing.xml"), std::string::npos) << log;
}

TEST_F(XmlTest, ExternalEntitiesAreNotLoaded) {
  test::writeFile(home.scratch() / "secret.txt", "SECRET");
  test::writeFile(home.scratch() / "evil.dtd", "<!ENTITY dtdent 'FROMDTD'>");
  const std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY e SYSTEM \"file://" +
                          (home.scratch() / "secret.txt").string() + "\">\n<!ENTITY % p SYSTEM \"file://" +
                          (home.scratch() / "evil.dtd").string() + "\">\n%p;\n]>\n<r><v>&e;</v><w>&dtdent;</w></r>";
  if (auto doc = xmlDocWithString(xml)) {
    const std::string v = stringForKey(doc->root(), "v", "").value();
    EXPECT_EQ(v.find("SECRET"), std::string::npos);
    EXPECT_EQ(xmlString(*doc).find("SECRET"), std::string::npos);
    EXPECT_EQ(xmlString(*doc).find("FROMDTD"), std::string::npos);
  }
  auto node = nodeWithString("<r><!DOCTYPE x>&e;</r>");
  if (node) {
    EXPECT_EQ(xmlString(node.get()).find("SECRET"), std::string::npos);
  }
  auto doc2 = xmlDocWithPath((home.scratch() / "secret.txt").string());  // not XML: none
  EXPECT_FALSE(doc2);
}

TEST_F(XmlTest, HtmlIsTidiedIntoXml) {
  auto doc = htmlDocWithString("<html><body><p>One<br>Two<p class=x>Three &amp; more</body>");
  ASSERT_TRUE(doc);
  auto paragraphs = nodesForXPath(doc->node(), "//p");
  ASSERT_TRUE(paragraphs);
  EXPECT_EQ(paragraphs->size(), 2u);
  EXPECT_EQ(stringForAttribute(paragraphs->at(1), "class"), "x");
  EXPECT_EQ(xmlStringValue(paragraphs->at(1)), "Three & more");
  const std::string text = xmlString(*doc);
  EXPECT_NE(text.find("<br/>"), std::string::npos) << text;  // written as XML
  EXPECT_EQ(text.rfind("<?xml", 0), 0u) << text;

  test::writeFile(home.scratch() / "page.html", "<p>From file</p>");
  auto fromFile = htmlDocWithPath((home.scratch() / "page.html").string());
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(xmlStringValue(nodeForXPath(fromFile->node(), "//p")), "From file");
  EXPECT_FALSE(htmlDocWithPath((home.scratch() / "none.html").string()));
}

TEST_F(XmlTest, BuildingAndWriting) {
  auto doc = xmlDocWithString("<root/>");
  ASSERT_TRUE(doc);
  xmlNodePtr root = doc->root();
  EXPECT_EQ(addNode(root, std::nullopt, "x"), nullptr);
  xmlNodePtr name = addNode(root, "name", "A & B");
  ASSERT_TRUE(name);
  addNode(root, "count", 3);
  addNode(root, "empty");
  EXPECT_EQ(xmlString(name), "<name>A &amp; B</name>");
  EXPECT_EQ(xmlString(*doc),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <name>A &amp; B</name>\n  <count>3</count>\n"
            "  <empty/>\n</root>\n");

  XmlNode loose = nodeWithName("loose");  // freed with its handle
  ASSERT_TRUE(loose);
  XmlNode attached = nodeWithName("attached");
  addNode(attached.get(), "child", "c");
  xmlNodePtr placed = appendChild(root, std::move(attached));
  ASSERT_TRUE(placed);
  EXPECT_FALSE(attached);
  EXPECT_EQ(stringForKey(placed, "child"), "c");
  EXPECT_EQ(placed->doc, doc->get());

  XmlNode parsed = nodeWithString("<a x=\"1\"><b>t</b></a>");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(stringForKey(parsed.get(), "b"), "t");
  EXPECT_EQ(integerForAttribute(parsed.get(), "x", 0), 1);
  EXPECT_TRUE(nodeWithString(std::nullopt, "<second/>"));
  XmlNode fallback = nodeWithString("not xml", "<second/>");
  ASSERT_TRUE(fallback);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(fallback.get()->name)), "second");
  EXPECT_FALSE(nodeWithString("not xml"));
  EXPECT_FALSE(nodeWithString(std::nullopt));
  EXPECT_EQ(appendChild(nullptr, nodeWithName("dropped")), nullptr);  // freed, not leaked
}

TEST_F(XmlTest, EnumXmlNodesVisitsTextInDocumentOrder) {
  auto doc = xmlDocWithString("<r>a<x>b<!--c--><y>d</y><![CDATA[e]]></x><?pi f?>g<z/></r>");
  ASSERT_TRUE(doc);
  std::vector<std::string> seen;
  EnumXMLNodes(
      doc->root(),
      [](xmlNodePtr n, void* user) -> unsigned char {
        static_cast<std::vector<std::string>*>(user)->push_back(xmlStringValue(n));
        return 0;  // does not stop the walk
      },
      &seen);
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "d", "e", "g"}));
  seen.clear();
  EnumXMLNodes(xmlElementForKey(doc->root(), "z"), [](xmlNodePtr, void*) -> unsigned char { return 1; }, &seen);
  EnumXMLNodes(nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace korvex
