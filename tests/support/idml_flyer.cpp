#include "support/idml_flyer.h"

namespace korvex::test {

std::string pkg(const std::string& element, const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         "\n<idPkg:" + element + R"( xmlns:idPkg="http://ns.adobe.com/AdobeInDesign/idml/1.0/packaging" DOMVersion="8.0">)" +
         body + "</idPkg:" + element + ">";
}

// A rectangle path from (l, t) to (r, b) in the item's inner coordinates.
std::string rectPath(double l, double t, double r, double b) {
  auto point = [](double x, double y) {
    const std::string a = std::to_string(x) + " " + std::to_string(y);
    return R"(<PathPointType Anchor=")" + a + R"(" LeftDirection=")" + a + R"(" RightDirection=")" + a + R"("/>)";
  };
  return R"(<Properties><PathGeometry><GeometryPathType PathOpen="false"><PathPointArray>)" + point(l, t) +
         point(l, b) + point(r, b) + point(r, t) + "</PathPointArray></GeometryPathType></PathGeometry></Properties>";
}

// linkRecord: attributes of the picture's Link that record the file's size and date.
IdmlParts flyerParts(const std::string& pictureURI, const std::string& missingURI, const std::string& linkRecord) {
  IdmlParts p;
  p.set("mimetype", kMime);
  p.set("designmap.xml", R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<?aid style="50" type="document" readerVersion="6.0" featureSet="257" product="8.0" ?>
<Document xmlns:idPkg="http://ns.adobe.com/AdobeInDesign/idml/1.0/packaging" DOMVersion="8.0" Self="d" ActiveLayer="uText">
  <Properties><Label><KeyValuePair Key="Job" Value="4711"/></Label></Properties>
  <idPkg:Graphic src="Resources/Graphic.xml"/>
  <idPkg:Styles src="Resources/Styles.xml"/>
  <idPkg:Preferences src="Resources/Preferences.xml"/>
  <Layer Self="uNotes" Name="Notes" Visible="false" Locked="false" Printable="false"/>
  <Layer Self="uText" Name="Text" Visible="true" Locked="true" Printable="true">
    <Properties><LayerColor type="enumeration">Red</LayerColor></Properties></Layer>
  <Layer Self="uPix" Name="Pictures" Visible="true" Locked="false" Printable="true">
    <Properties><LayerColor type="enumeration">LightBlue</LayerColor></Properties></Layer>
  <idPkg:MasterSpread src="MasterSpreads/MasterSpread_uM.xml"/>
  <idPkg:Spread src="Spreads/Spread_u1.xml"/>
  <idPkg:Spread src="Spreads/Spread_u2.xml"/>
  <idPkg:Story src="Stories/Story_uS.xml"/>
  <idPkg:Story src="Stories/Story_uT.xml"/>
  <idPkg:Story src="Stories/Story_uL.xml"/>
  <idPkg:Story src="Stories/Story_uR.xml"/>
  <idPkg:BackingStory src="XML/BackingStory.xml"/>
</Document>)");
  p.set("XML/BackingStory.xml", pkg("BackingStory", R"(
  <XmlStory Self="ux"><ParagraphStyleRange><CharacterStyleRange>
    <XMLElement Self="di2" MarkupTag="XMLTag/Root">
      <XMLElement Self="di3" MarkupTag="XMLTag/Titel%20Zeile" XMLContent="uT">
        <XMLAttribute Self="da1" Name="id" Value="7"/>
      </XMLElement>
    </XMLElement>
  </CharacterStyleRange></ParagraphStyleRange></XmlStory>)"));
  p.set("Resources/Graphic.xml", pkg("Graphic", R"(
  <Tint Self="Tint/Rot 40" Name="$ID/" BaseColor="Color/Rot" TintValue="40"/>
  <Color Self="Color/Black" Model="Process" Space="CMYK" ColorValue="0 0 0 100" Name="Black"/>
  <Color Self="Color/Paper" Model="Process" Space="CMYK" ColorValue="0 0 0 0" Name="Paper"/>
  <Color Self="Color/Registration" Model="Registration" Space="CMYK" ColorValue="100 100 100 100" Name="Registration"/>
  <Color Self="Color/Rot" Model="Process" Space="CMYK" ColorValue="0 100 100 0" Name="Rot"/>
  <Color Self="Color/HKS" Model="Spot" Space="LAB" ColorValue="35 10 -60" Name="HKS 43 K"/>
  <Color Self="Color/u99" Model="Process" Space="RGB" ColorValue="0 0 255" Name="$ID/"/>
  <Swatch Self="Swatch/None" Name="None"/>
  <Gradient Self="Gradient/G" Name="Verlauf"/>)"));
  p.set("Resources/Styles.xml", pkg("Styles", R"(
  <RootCharacterStyleGroup Self="cg">
    <CharacterStyle Self="CharacterStyle/$ID/[No character style]" Name="$ID/[No character style]"/>
    <CharacterStyle Self="CharacterStyle/Em" Name="Em" FontStyle="Bold" Capitalization="AllCaps"/>
  </RootCharacterStyleGroup>
  <RootParagraphStyleGroup Self="pg">
    <ParagraphStyle Self="ParagraphStyle/$ID/NormalParagraphStyle" Name="$ID/NormalParagraphStyle" PointSize="12"/>
    <ParagraphStyleGroup Self="ParagraphStyleGroup/Heads" Name="Heads">
      <ParagraphStyle Self="ParagraphStyle/Heads%3aTitle" Name="Title" PointSize="24" Justification="CenterAlign">
        <Properties><BasedOn type="object">ParagraphStyle/$ID/NormalParagraphStyle</BasedOn></Properties>
      </ParagraphStyle>
    </ParagraphStyleGroup>
  </RootParagraphStyleGroup>)"));
  p.set("Resources/Preferences.xml", pkg("Preferences", R"(
  <DocumentPreference PageWidth="400" PageHeight="600" FacingPages="true"/>
  <MarginPreference Top="20" Bottom="30" Left="40" Right="50" ColumnCount="1" ColumnGutter="12"/>)"));
  // Spread 1: page 1 alone on the right of the spine, as in facing documents.
  p.set("Spreads/Spread_u1.xml", pkg("Spread", R"(
  <Spread Self="u1" PageCount="1" ItemTransform="1 0 0 1 0 0">
    <Page Self="p1" Name="1" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300" AppliedMaster="uM">
      <MarginPreference Top="20" Bottom="30" Left="40" Right="50" ColumnCount="2" ColumnGutter="20" ColumnsPositions="0 145 165 310"/>
    </Page>
    <TextFrame Self="tf1" ParentStory="uS" PreviousTextFrame="n" NextTextFrame="tf2" ItemLayer="uText" ContentType="TextType"
               ItemTransform="1 0 0 1 40 -280" FillColor="Swatch/None" StrokeColor="Swatch/None">)" +
                                               rectPath(0, 0, 300, 80) + R"(
      <TextFramePreference TextColumnCount="1" TextColumnGutter="12" InsetSpacing="0 0 0 0" VerticalJustification="TopAlign"/>
    </TextFrame>
    <Rectangle Self="r1" ItemLayer="uPix" ItemTransform="1 0 0 1 40 -180" FillColor="Tint/Rot 40" StrokeColor="Color/HKS"
               StrokeWeight="2" Nonprinting="false">)" +
                                               rectPath(0, 0, 100, 50) + R"(
      <Properties><Label><KeyValuePair Key="Bild" Value="Aufmacher"/></Label></Properties>
      <TransparencySetting><DropShadowSetting Mode="Drop"/></TransparencySetting>
    </Rectangle>
    <Group Self="g1" ItemLayer="uPix" ItemTransform="1 0 0 1 200 -180">
      <Oval Self="o1" ItemTransform="1 0 0 1 0 0" FillColor="Color/HKS">)" +
                                               rectPath(0, 0, 40, 40) + R"(</Oval>
      <Rectangle Self="r2" ItemTransform="0 1 -1 0 100 0" FillColor="Color/u99">)" +
                                               rectPath(0, 0, 60, 20) + R"(</Rectangle>
    </Group>
    <GraphicLine Self="l1" ItemLayer="uText" ItemTransform="1 0 0 1 0 0" StrokeColor="Color/Black" StrokeWeight="1">
      <Properties><PathGeometry><GeometryPathType PathOpen="true"><PathPointArray>
        <PathPointType Anchor="40 -100" LeftDirection="40 -100" RightDirection="40 -100"/>
        <PathPointType Anchor="340 -100" LeftDirection="340 -100" RightDirection="340 -100"/>
      </PathPointArray></GeometryPathType></PathGeometry></Properties>
    </GraphicLine>
    <Rectangle Self="r3" ItemLayer="uPix" ItemTransform="1 0 0 1 40 0" FillColor="Swatch/None" StrokeColor="Swatch/None">)" +
                                               rectPath(0, 0, 100, 100) + R"(
      <Image Self="i1" ItemTransform="1 0 0 1 0 0">
        <Properties><GraphicBounds Left="0" Top="0" Right="100" Bottom="100"/></Properties>
        <Link Self="k1" LinkResourceURI=")" + pictureURI + R"(" StoredState="Normal" )" + linkRecord + R"(/>
      </Image>
    </Rectangle>
  </Spread>)"));
  // Spread 2: two pages either side of the spine; the thread's second frame
  // and a picture whose file is nowhere.
  p.set("Spreads/Spread_u2.xml", pkg("Spread", R"(
  <Spread Self="u2" PageCount="2" ItemTransform="1 0 0 1 0 700">
    <Page Self="p2" Name="2" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 -400 -300" AppliedMaster="uM"/>
    <Page Self="p3" Name="3" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300" AppliedMaster="uM"/>
    <TextFrame Self="tf2" ParentStory="uS" PreviousTextFrame="tf1" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 40 -280">)" + rectPath(0, 0, 300, 400) + R"(</TextFrame>
    <TextFrame Self="tf3" ParentStory="uT" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 -360 -280">)" + rectPath(0, 0, 300, 100) + R"(</TextFrame>
    <Rectangle Self="r4" ItemLayer="uPix" ItemTransform="1 0 0 1 -360 0">)" + rectPath(0, 0, 80, 80) + R"(
      <Image Self="i2" ItemTransform="1 0 0 1 0 0">
        <Properties><GraphicBounds Left="0" Top="0" Right="80" Bottom="80"/></Properties>
        <Link Self="k2" LinkResourceURI=")" + missingURI + R"("/>
      </Image>
    </Rectangle>
  </Spread>)"));
  // The threaded story: a title, then body text long enough to go on in the
  // second frame; a table whose cells stay as text.
  std::string body;
  for (int i = 1; i <= 12; ++i) body += "<Content>Zeile " + std::to_string(i) + " des Textes.</Content><Br/>";
  p.set("Stories/Story_uS.xml", pkg("Story", R"(
  <Story Self="uS">
    <ParagraphStyleRange AppliedParagraphStyle="ParagraphStyle/Heads%3aTitle">
      <CharacterStyleRange AppliedCharacterStyle="CharacterStyle/Em" FillColor="Color/Rot" PointSize="24">
        <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
        <Content>Sommerfest</Content><Br/>
      </CharacterStyleRange>
    </ParagraphStyleRange>
    <ParagraphStyleRange AppliedParagraphStyle="ParagraphStyle/$ID/NormalParagraphStyle" LeftIndent="20">
      <CharacterStyleRange PointSize="30">
        <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
        <Content>Am See</Content><?ACE 18?><Br/>
      </CharacterStyleRange>
      <CharacterStyleRange PointSize="12">
        <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>)" +
                                              body + R"(
        <Table Self="tb" BodyRowCount="2" ColumnCount="2">
          <Cell Self="c00" Name="0:0"><ParagraphStyleRange><CharacterStyleRange><Content>Wann</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
          <Cell Self="c10" Name="1:0"><ParagraphStyleRange><CharacterStyleRange><Content>15 Uhr</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
          <Cell Self="c01" Name="0:1"><ParagraphStyleRange><CharacterStyleRange><Content>Wo</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
          <Cell Self="c11" Name="1:1"><ParagraphStyleRange><CharacterStyleRange><Content>Seeufer</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
        </Table>
        <Content>Ende</Content>
      </CharacterStyleRange>
    </ParagraphStyleRange>
  </Story>)"));
  p.set("Stories/Story_uT.xml", pkg("Story", R"(
  <Story Self="uT"><ParagraphStyleRange><CharacterStyleRange PointSize="12">
    <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
    <Content>Linke Seite</Content>
    <Rectangle Self="anc" ItemTransform="1 0 0 1 500 500" FillColor="Color/Rot">)" +
                                              rectPath(0, 0, 10, 10) + R"(</Rectangle>
  </CharacterStyleRange></ParagraphStyleRange></Story>)"));
  // A facing master: a footer frame on each of its pages, beneath the pages' items.
  p.set("MasterSpreads/MasterSpread_uM.xml", pkg("MasterSpread", R"(
  <MasterSpread Self="uM" Name="A-Master" NamePrefix="A" BaseName="Master" PageCount="2" ItemTransform="1 0 0 1 0 0">
    <Page Self="mL" Name="A" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 -400 -300"/>
    <Page Self="mR" Name="A" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300"/>
    <TextFrame Self="fl" ParentStory="uL" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 -360 250">)" + rectPath(0, 0, 300, 30) + R"(</TextFrame>
    <TextFrame Self="fr" ParentStory="uR" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 40 250">)" + rectPath(0, 0, 300, 30) + R"(</TextFrame>
  </MasterSpread>)"));
  for (const char* side : {"L", "R"})
    p.set(std::string("Stories/Story_u") + side + ".xml",
          pkg("Story", std::string(R"(<Story Self="u)") + side + R"("><ParagraphStyleRange><CharacterStyleRange PointSize="10">
    <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
    <Content>Fuss )" + (side[0] == 'L' ? "links" : "rechts") + R"(</Content></CharacterStyleRange></ParagraphStyleRange></Story>)"));
  return p;
}

}  // namespace korvex::test
