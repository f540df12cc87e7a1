#include <gtest/gtest.h>

#include <memory>

#include "FakeAppBarPlatform.h"
#include "appbar/AppBarCore.h"
#include "appbar/EmulatedToolbarService.h"

namespace quellion {
namespace {

using test::TFakeAppBarPlatform;

const TAppBarFlags LeftRightFloat{abfAllowLeft, abfAllowRight, abfAllowFloat};
const TAppBarFlags AllDocking{abfAllowLeft, abfAllowTop, abfAllowRight, abfAllowBottom};

// Counts the re-applications the shell's notifications cause.
class TTestBar : public TAppBarCore {
 public:
  using TAppBarCore::TAppBarCore;
  void ApplyState() override {
    ++Applies;
    TAppBarCore::ApplyState();
  }
  int Applies = 0;
};

// A 1024×768 screen with the emulated shell; bars float at 367,110 325×584 and dock
// 250 pixels wide, without animation unless a test turns it on.
class AppBarCoreTest : public ::testing::Test {
 protected:
  struct TBarUnderTest {
    std::unique_ptr<TTestBar> Bar;
    TFakeAppBarPlatform* Fake;
  };

  TBarUnderTest MakeBar(bool create = true) {
    auto platform = std::make_unique<TFakeAppBarPlatform>(&Service);
    TFakeAppBarPlatform* fake = platform.get();
    fake->Window = {367, 110, 692, 694};
    auto bar = std::make_unique<TTestBar>(std::move(platform), Service);
    bar->SetFloatRect(fake->Window);
    bar->SetVertDockSize(250);
    bar->SetHorzDockSize(40);
    bar->SetFlags(LeftRightFloat);
    bar->SetSlideEffect(false);
    if (create)
      bar->HandleCreate();
    return {std::move(bar), fake};
  }

  // Drags the window as the user would: the window follows the cursor (full-window drag)
  // and takes the adjusted rectangle at each step; releasing ends the move.
  static void Drag(TAppBarCore& bar, TFakeAppBarPlatform& fake,
                   std::initializer_list<TPoint> path) {
    bar.HandleEnterSizeMove();
    TPoint last = fake.Cursor;
    for (TPoint p : path) {
      fake.Cursor = p;
      TRect r = fake.Window;
      r = {r.Left + p.X - last.X, r.Top + p.Y - last.Y, r.Right + p.X - last.X,
           r.Bottom + p.Y - last.Y};
      bar.HandleMoving(r);
      fake.Window = r;
      last = p;
    }
    bar.HandleExitSizeMove();
  }

  TEmulatedToolbarService Service{{0, 0, 1024, 768}};
};

TEST_F(AppBarCoreTest, ConstructionDefaults) {
  auto [bar, fake] = MakeBar(false);
  TTestBar plain(std::make_unique<TFakeAppBarPlatform>(), Service);
  EXPECT_EQ(plain.Edge(), abeFloat);
  EXPECT_EQ(plain.Flags(), TAppBarFlags::All());
  EXPECT_FALSE(plain.AutoHide());
  EXPECT_TRUE(plain.AlwaysOnTop());
  EXPECT_TRUE(plain.SlideEffect());
  EXPECT_EQ(plain.SlideTime(), 400);
  EXPECT_EQ(plain.VertDockSize(), 32);
  EXPECT_EQ(plain.MaxWidth(), 1024);
  EXPECT_EQ(plain.MaxHeight(), 768);
  EXPECT_EQ(plain.MaxVertDockSize(), 512);
  EXPECT_EQ(plain.MaxHorzDockSize(), 384);
  EXPECT_EQ(plain.TaskEntry(), abtFloatDependent);
  EXPECT_EQ(plain.PendingEdge(), abeUnknown);
  EXPECT_EQ(plain.RootKey(), HKEY_CURRENT_USER);
  EXPECT_EQ(plain.KeyName(), "Software\\Tarnwick Quellion");
}

TEST_F(AppBarCoreTest, EdgeAtPointTable) {
  auto [bar, fake] = MakeBar();
  fake->FixedWorkArea = TRect{0, 0, 1024, 768};
  bar->SetEdge(abeRight);  // the stored edge answers when nothing else may
  const TAppBarFlags all = TAppBarFlags::All();
  const TAppBarFlags leftRight{abfAllowLeft, abfAllowRight};
  const struct {
    TAppBarFlags flags;
    TPoint p;
    TAppBarEdge expected;
    const char* why;
  } cases[] = {
      {LeftRightFloat, {512, 5}, abeFloat, "top edge not allowed: floats"},
      {LeftRightFloat, {5, 384}, abeLeft, "near the left edge"},
      {LeftRightFloat, {1020, 384}, abeRight, "near the right edge"},
      {LeftRightFloat, {500, 400}, abeFloat, "inside the work area"},
      {LeftRightFloat, {16, 384}, abeFloat, "first pixel inside the scroll-bar margin"},
      {LeftRightFloat, {15, 384}, abeLeft, "last pixel of the margin"},
      {all, {512, 5}, abeTop, "top allowed"},
      {all, {512, 765}, abeBottom, "bottom allowed"},
      {leftRight, {512, 5}, abeRight, "no float: the stored edge"},
      {leftRight, {500, 400}, abeRight, "no float: the work area does not count"},
      {AllDocking, {516, 387}, abeRight, "on the diagonal (dx 4, dy 3): right"},
      {AllDocking, {508, 381}, abeLeft, "on the diagonal (dx -4, dy -3): left"},
      {AllDocking, {508, 387}, abeLeft, "on the other diagonal: left"},
      {AllDocking, {516, 388}, abeBottom, "just off the diagonal"},
      {AllDocking, {40000, 384}, abeLeft, "x wraps to a negative 16-bit value"},
      {TAppBarFlags{abfAllowFloat}, {0, 0}, abeFloat, "no docking edge at all"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bar->EdgeAtPoint(c.flags, c.p), c.expected) << c.why;
  }
}

TEST_F(AppBarCoreTest, CtrlKeepsFloatingOnlyWhenFloatIsAllowed) {
  auto [bar, fake] = MakeBar();
  fake->Ctrl = true;
  EXPECT_EQ(bar->PendingEdgeAt({2, 384}), abeFloat);
  bar->SetFlags({abfAllowLeft, abfAllowRight});
  EXPECT_EQ(bar->PendingEdgeAt({2, 384}), abeLeft);
}

TEST_F(AppBarCoreTest, ReleasingNearTheTopFloatsNearTheLeftDocks) {
  auto [bar, fake] = MakeBar();
  fake->Cursor = {500, 120};
  Drag(*bar, *fake, {{510, 60}, {512, 3}});
  EXPECT_EQ(bar->Edge(), abeFloat);
  EXPECT_FALSE(Service.Reserved(bar.get()));
  EXPECT_EQ(bar->FloatRect(), fake->Window) << "the floating rectangle follows the drop";

  Drag(*bar, *fake, {{200, 300}, {4, 300}});
  EXPECT_EQ(bar->Edge(), abeLeft);
  EXPECT_EQ(fake->Window, (TRect{0, 0, 250, 768}));
  EXPECT_EQ(Service.Reserved(bar.get()), (TRect{0, 0, 250, 768}));
  EXPECT_EQ(Service.WorkArea(), (TRect{250, 0, 1024, 768}));
  EXPECT_EQ(fake->StyleBits & (wsCaption | wsSysMenu), 0u) << "docked: no caption";
  EXPECT_EQ(fake->TaskbarEntry, false) << "float-dependent entry hidden while docked";
}

TEST_F(AppBarCoreTest, CtrlDragStaysFloatingAtTheEdge) {
  auto [bar, fake] = MakeBar();
  fake->Ctrl = true;
  fake->Cursor = {500, 120};
  Drag(*bar, *fake, {{100, 300}, {1, 300}});
  EXPECT_EQ(bar->Edge(), abeFloat);
  EXPECT_EQ(fake->Window.Left, 367 - 499);
}

TEST_F(AppBarCoreTest, PullingOffAnEdgeCentresTheFloatingRectangleUnderTheCursor) {
  auto [bar, fake] = MakeBar();
  bar->SetEdge(abeLeft);
  fake->Cursor = {100, 300};
  bar->HandleEnterSizeMove();
  fake->Cursor = {601, 333};
  TRect dragged = fake->Window;
  bar->HandleMoving(dragged);
  EXPECT_EQ(bar->PendingEdge(), abeFloat);
  EXPECT_EQ(dragged, (TRect{601 - 162, 333, 601 - 162 + 325, 333 + 584}));
  EXPECT_EQ(fake->StyleBits & wsCaption, wsCaption) << "the outline shows the caption at once";
  fake->Window = dragged;
  bar->HandleExitSizeMove();
  EXPECT_EQ(bar->Edge(), abeFloat);
  EXPECT_EQ(bar->FloatRect(), dragged);
  EXPECT_EQ(fake->TaskbarEntry, true);
}

TEST_F(AppBarCoreTest, PulledOffWindowAsLargeAsTheWorkAreaKeepsThePreviousFloatingSize) {
  auto [bar, fake] = MakeBar();
  bar->SetEdge(abeLeft);
  bar->HandleEnterSizeMove();
  fake->Cursor = {500, 300};
  TRect dragged = fake->Window;
  bar->HandleMoving(dragged);
  fake->Window = {40, 0, 290, 768};  // the window manager kept it full height
  bar->HandleExitSizeMove();
  EXPECT_EQ(bar->FloatRect(), (TRect{40, 0, 40 + 325, 584}));
}

TEST_F(AppBarCoreTest, RightEdgeOfA1024PixelScreenBelowATopBar) {
  auto [top, topFake] = MakeBar();
  top->SetFlags(TAppBarFlags::All());
  top->SetHorzDockSize(30);
  top->SetEdge(abeTop);
  ASSERT_EQ(topFake->Window, (TRect{0, 0, 1024, 30}));

  auto [bar, fake] = MakeBar();
  bar->SetEdge(abeRight);
  EXPECT_EQ(fake->Window, (TRect{774, 30, 1024, 768}));
  EXPECT_EQ(Service.WorkArea(), (TRect{0, 30, 774, 768}));
}

TEST_F(AppBarCoreTest, AutoHideAtTheLeftEdgeLeavesTwoBorderSliver) {
  auto [bar, fake] = MakeBar();
  bar->SetAutoHide(true);
  bar->SetEdge(abeLeft);
  EXPECT_EQ(fake->Window, (TRect{-248, 0, 2, 768})) << "hidden: two border widths on screen";
  EXPECT_FALSE(Service.Reserved(bar.get())) << "an auto-hide bar reserves nothing";
  EXPECT_EQ(Service.WorkArea(), (TRect{0, 0, 1024, 768}));
  TAppBarData query;
  query.uEdge = abeLeft;
  EXPECT_EQ(Service.Message(ABM_GETAUTOHIDEBAR, query),
            reinterpret_cast<std::intptr_t>(static_cast<TShellBarClient*>(bar.get())));

  bar->HandleNcMouseMove();
  EXPECT_TRUE(bar->AutoHideShown());
  EXPECT_EQ(fake->Window, (TRect{0, 0, 250, 768}));

  fake->Cursor = {255, 300};  // within twice the double-click width
  bar->HideTimerTick();
  EXPECT_EQ(fake->Window.Left, 0);
  fake->Active = true;
  fake->Cursor = {700, 300};
  bar->HideTimerTick();
  EXPECT_EQ(fake->Window.Left, 0) << "the active bar stays out";
  fake->Active = false;
  bar->HideTimerTick();
  EXPECT_EQ(fake->Window.Left, -248);
  EXPECT_FALSE(bar->AutoHideShown());

  bar->HandleNcMouseMove();
  bar->HandleActivate(false);
  EXPECT_EQ(fake->Window.Left, -248) << "deactivation slides it in";
}

TEST_F(AppBarCoreTest, AutoHideSliverAtEveryEdge) {
  const struct {
    TAppBarEdge edge;
    TRect hidden;
    TRect shown;
  } cases[] = {
      {abeLeft, {-248, 0, 2, 768}, {0, 0, 250, 768}},
      {abeRight, {1022, 0, 1272, 768}, {774, 0, 1024, 768}},
      {abeTop, {0, -36, 1024, 4}, {0, 0, 1024, 40}},
      {abeBottom, {0, 764, 1024, 804}, {0, 728, 1024, 768}},
  };
  for (const auto& c : cases) {
    TEmulatedToolbarService service({0, 0, 1024, 768});
    auto platform = std::make_unique<TFakeAppBarPlatform>(&service);
    TFakeAppBarPlatform* fake = platform.get();
    fake->BorderH = 2;
    TTestBar bar(std::move(platform), service);
    bar.SetFlags(TAppBarFlags::All());
    bar.SetSlideEffect(false);
    bar.SetVertDockSize(250);
    bar.SetHorzDockSize(40);
    bar.SetAutoHide(true);
    bar.HandleCreate();
    bar.SetEdge(c.edge);
    EXPECT_EQ(fake->Window, c.hidden) << int(c.edge);
    bar.ShowAutoHidden(true);
    EXPECT_EQ(fake->Window, c.shown) << int(c.edge);
  }
}

TEST_F(AppBarCoreTest, AutoHideTurnedOnWhileFloatingWaitsForTheNextDocking) {
  auto [bar, fake] = MakeBar();
  const TRect before = fake->Window;
  bar->SetAutoHide(true);
  bar->ApplyState();
  EXPECT_EQ(fake->Window, before);
  TAppBarData query;
  query.uEdge = abeLeft;
  EXPECT_EQ(Service.Message(ABM_GETAUTOHIDEBAR, query), 0);

  fake->Cursor = {500, 300};
  Drag(*bar, *fake, {{3, 300}});
  EXPECT_EQ(bar->Edge(), abeLeft);
  EXPECT_EQ(fake->Window.Left, -248);
  EXPECT_NE(Service.Message(ABM_GETAUTOHIDEBAR, query), 0);
}

TEST_F(AppBarCoreTest, SecondAutoHideBarAtAnEdgeIsRefusedAndDocksNormally) {
  auto [first, firstFake] = MakeBar();
  first->SetAutoHide(true);
  first->SetEdge(abeLeft);
  auto [second, fake] = MakeBar();
  second->SetAutoHide(true);
  second->SetEdge(abeLeft);
  ASSERT_EQ(fake->Messages.size(), 1u);
  EXPECT_EQ(fake->Messages[0],
            "Information|There is already an auto hidden window on this edge.\n\r"
            "Only one auto hidden window is allowed on each edge.");
  EXPECT_FALSE(second->AutoHide());
  EXPECT_EQ(fake->Window, (TRect{0, 0, 250, 768}));
  EXPECT_EQ(Service.Reserved(second.get()), (TRect{0, 0, 250, 768}));
  EXPECT_TRUE(firstFake->Messages.empty());
  EXPECT_TRUE(first->AutoHide());
}

TEST_F(AppBarCoreTest, LeavingAnEdgeReleasesItsAutoHidePlace) {
  auto [first, firstFake] = MakeBar();
  first->SetAutoHide(true);
  first->SetEdge(abeLeft);
  first->SetEdge(abeFloat);
  auto [second, fake] = MakeBar();
  second->SetAutoHide(true);
  second->SetEdge(abeLeft);
  EXPECT_TRUE(fake->Messages.empty());
  EXPECT_TRUE(second->AutoHide());
}

TEST_F(AppBarCoreTest, SlideAnimatesOnlyWithTheEffectAndFullWindowDrag) {
  const struct {
    bool effect;
    bool fullDrag;
    int slideTime;
    bool animates;
  } cases[] = {
      {true, true, 400, true}, {false, true, 400, false}, {true, false, 400, false},
      {true, true, 0, false},  {true, true, -400, false}, {true, true, 1000000, false},
  };
  for (const auto& c : cases) {
    auto [bar, fake] = MakeBar();
    fake->Window = {100, 100, 400, 500};
    fake->TickStep = 100;
    fake->FullDrag = c.fullDrag;
    bar->SetSlideEffect(c.effect);
    bar->SetSlideTime(c.slideTime);
    fake->Placements.clear();
    bar->SlideTo({0, 0, 250, 768});
    EXPECT_EQ(fake->Window, (TRect{0, 0, 250, 768}));
    EXPECT_EQ(!fake->Placements.empty(), c.animates) << c.effect << c.fullDrag << c.slideTime;
    if (c.animates) {
      // Ticks 100, 200, 300 after the start (400 ends it); truncating division.
      ASSERT_EQ(fake->Placements.size(), 3u);
      EXPECT_EQ(fake->Placements[0], (TRect{75, 75, 75 + 288, 75 + 492}));
      EXPECT_EQ(fake->Placements[2], (TRect{25, 25, 25 + 263, 25 + 676}));
      EXPECT_EQ(fake->Repaints, 3);
    }
  }
}

TEST_F(AppBarCoreTest, FullScreenApplicationPutsTheBarAtTheBottomAndBack) {
  auto [bar, fake] = MakeBar();
  bar->SetEdge(abeLeft);
  EXPECT_EQ(fake->ZOrders.back(), TZOrder::TopMost);
  Service.NotifyFullScreenApp(true);
  Service.DeliverNotifications();
  EXPECT_TRUE(bar->FullScreenAppOpen());
  EXPECT_EQ(fake->ZOrders.back(), TZOrder::Bottom);
  Service.NotifyFullScreenApp(false);
  Service.DeliverNotifications();
  EXPECT_EQ(fake->ZOrders.back(), TZOrder::TopMost);

  bar->SetAlwaysOnTop(false);
  Service.NotifyFullScreenApp(true);
  Service.DeliverNotifications();
  EXPECT_EQ(fake->ZOrders.back(), TZOrder::NoTopMost);
}

TEST_F(AppBarCoreTest, OtherBarsPositionChangesReapplyDockedBarsOnly) {
  auto [first, firstFake] = MakeBar();
  first->SetEdge(abeLeft);
  auto [floating, floatFake] = MakeBar();
  auto [second, fake] = MakeBar();
  Service.DeliverNotifications();
  first->Applies = floating->Applies = 0;

  second->SetEdge(abeLeft);
  EXPECT_EQ(fake->Window, (TRect{250, 0, 500, 768})) << "beside the earlier bar";
  Service.DeliverNotifications();
  EXPECT_EQ(first->Applies, 1);
  EXPECT_EQ(floating->Applies, 0);
  EXPECT_EQ(firstFake->Window, (TRect{0, 0, 250, 768})) << "the earlier bar keeps its place";
  EXPECT_FALSE(Service.NotificationsPending()) << "the bars settle";

  first->SetEdge(abeFloat);
  Service.DeliverNotifications();
  EXPECT_EQ(fake->Window, (TRect{0, 0, 250, 768})) << "moves out when the space frees";
}

TEST_F(AppBarCoreTest, HitTestTable) {
  auto [bar, fake] = MakeBar();
  // Docked left, the client area is 3..247 in x.
  const struct {
    TAppBarEdge edge;
    int horzInc;
    int vertInc;
    THitCode framework;
    TPoint p;
    THitCode expected;
  } cases[] = {
      {abeLeft, 1, 1, HTRIGHT, {248, 300}, HTRIGHT},
      {abeLeft, 1, 1, HTLEFT, {1, 300}, HTBORDER},
      {abeLeft, 1, 1, HTTOP, {100, 1}, HTBORDER},
      {abeLeft, 1, 1, HTTOPRIGHT, {248, 1}, HTRIGHT},
      {abeLeft, 0, 1, HTRIGHT, {248, 300}, HTBORDER},
      {abeLeft, 1, 0, HTRIGHT, {248, 300}, HTRIGHT},
      {abeRight, 1, 1, HTLEFT, {775, 300}, HTLEFT},
      {abeRight, 1, 1, HTRIGHT, {1022, 300}, HTBORDER},
      {abeLeft, 1, 1, HTCAPTION, {100, 300}, HTCAPTION},
      {abeFloat, 0, 1, HTLEFT, {0, 0}, HTBORDER},
      {abeFloat, 0, 1, HTTOP, {0, 0}, HTTOP},
      {abeFloat, 1, 0, HTBOTTOM, {0, 0}, HTBORDER},
      {abeFloat, 1, 1, HTBOTTOMRIGHT, {0, 0}, HTBOTTOMRIGHT},
      {abeFloat, 0, 0, HTTOPLEFT, {0, 0}, HTBORDER},
      {abeFloat, 0, 1, HTTOPLEFT, {0, 0}, HTTOP},
      {abeFloat, 0, 1, HTBOTTOMRIGHT, {0, 0}, HTBOTTOM},
      {abeFloat, 1, 0, HTTOPRIGHT, {0, 0}, HTRIGHT},
      {abeFloat, 1, 0, HTBOTTOMLEFT, {0, 0}, HTLEFT},
  };
  for (const auto& c : cases) {
    bar->SetFlags(TAppBarFlags::All());
    bar->SetEdge(c.edge);
    bar->SetHorzSizeInc(c.horzInc);
    bar->SetVertSizeInc(c.vertInc);
    EXPECT_EQ(bar->HandleHitTest(c.p, c.framework), c.expected)
        << int(c.edge) << " " << c.framework << " at " << c.p.X << "," << c.p.Y;
  }
}

TEST_F(AppBarCoreTest, PressOnFreeClientAreaDragsTheWindow) {
  auto [bar, fake] = MakeBar();
  const TPoint p{400, 300};
  EXPECT_EQ(bar->HandleHitTest(p, HTCLIENT), HTCLIENT) << "no button down";
  fake->LeftDown = true;
  EXPECT_EQ(bar->HandleHitTest(p, HTCLIENT), HTCAPTION);
  fake->ChildAt = [](TPoint) { return true; };
  EXPECT_EQ(bar->HandleHitTest(p, HTCLIENT), HTCLIENT) << "an image lies under the point";
  fake->ChildAt = nullptr;
  fake->Swapped = true;
  EXPECT_EQ(bar->HandleHitTest(p, HTCLIENT), HTCLIENT) << "left is secondary when swapped";
  fake->RightDown = true;
  EXPECT_EQ(bar->HandleHitTest(p, HTCLIENT), HTCAPTION);
}

TEST_F(AppBarCoreTest, SizingRoundsToTheNearestStepAboveTheMinimum) {
  auto [bar, fake] = MakeBar();
  bar->SetEdge(abeLeft);
  bar->SetHorzSizeInc(10);
  bar->SetVertSizeInc(0);
  bar->SetMinVertDockSize(248);
  bar->SetMinWidth(100);
  const struct {
    TAppBarEdge stored;
    TSizingSide side;
    TRect in;
    TRect out;
  } cases[] = {
      {abeLeft, TSizingSide::Right, {0, 0, 263, 768}, {0, 0, 268, 768}},
      {abeLeft, TSizingSide::Right, {0, 0, 262, 768}, {0, 0, 258, 768}},
      {abeLeft, TSizingSide::Right, {0, 0, 240, 768}, {0, 0, 248, 768}},
      {abeLeft, TSizingSide::Left, {500, 0, 763, 768}, {495, 0, 763, 768}},
      {abeFloat, TSizingSide::BottomRight, {10, 10, 10 + 263, 500}, {10, 10, 10 + 260, 500}},
  };
  for (const auto& c : cases) {
    bar->SetEdge(c.stored);
    TRect r = c.in;
    bar->HandleSizing(c.side, r);
    EXPECT_EQ(r, c.out) << c.in.Width();
  }
  // Vertical steps from the floating minimum height.
  bar->SetVertSizeInc(20);
  bar->SetMinHeight(200);
  TRect r{10, 100, 300, 331};
  bar->HandleSizing(TSizingSide::TopLeft, r);
  EXPECT_EQ(r, (TRect{10, 91, 300, 331})) << "height 231 -> 240, width 290 stays";
}

TEST_F(AppBarCoreTest, SizedInPlaceTheDockedBarKeepsItsNewThickness) {
  auto [bar, fake] = MakeBar();
  bar->SetEdge(abeLeft);
  bar->HandleEnterSizeMove();
  fake->Window = {0, 0, 300, 768};
  bar->HandleExitSizeMove();
  EXPECT_EQ(bar->VertDockSize(), 300);
  EXPECT_EQ(Service.Reserved(bar.get()), (TRect{0, 0, 300, 768}));
}

TEST_F(AppBarCoreTest, SizeLimitsByEdge) {
  auto [bar, fake] = MakeBar();
  bar->SetFlags(TAppBarFlags::All());
  bar->SetMinWidth(237);
  bar->SetMinHeight(200);
  bar->SetMinVertDockSize(248);
  bar->SetMinHorzDockSize(30);
  const struct {
    TAppBarEdge edge;
    TMinMaxInfo expected;
  } cases[] = {
      {abeFloat, {237, 200, 1024, 768}}, {abeLeft, {248, 30, 512, 768}},
      {abeRight, {248, 30, 512, 768}},   {abeTop, {248, 30, 1024, 384}},
      {abeUnknown, {248, 30, 512, 384}},
  };
  for (const auto& c : cases) {
    bar->SetEdge(c.edge);
    const TMinMaxInfo info = bar->HandleGetMinMaxInfo();
    EXPECT_EQ(info.MinTrackWidth, c.expected.MinTrackWidth) << int(c.edge);
    EXPECT_EQ(info.MinTrackHeight, c.expected.MinTrackHeight) << int(c.edge);
    EXPECT_EQ(info.MaxTrackWidth, c.expected.MaxTrackWidth) << int(c.edge);
    EXPECT_EQ(info.MaxTrackHeight, c.expected.MaxTrackHeight) << int(c.edge);
  }
}

TEST_F(AppBarCoreTest, TaskbarEntryRule) {
  const struct {
    TAppBarTaskEntry entry;
    TAppBarEdge edge;
    std::optional<bool> shown;
  } cases[] = {
      {abtShow, abeLeft, true},
      {abtHide, abeFloat, false},
      {abtFloatDependent, abeLeft, false},
      {abtFloatDependent, abeFloat, true},
      {abtFloatDependent, abeUnknown, std::nullopt},
  };
  for (const auto& c : cases) {
    auto [bar, fake] = MakeBar(false);
    bar->SetTaskEntry(c.entry);
    fake->TaskbarEntry.reset();
    bar->SetEdge(c.edge);
    EXPECT_EQ(fake->TaskbarEntry, c.shown) << int(c.entry) << " " << int(c.edge);
  }
}

TEST_F(AppBarCoreTest, StyleForEdgeAddsTheCaptionOnlyWhileFloating) {
  auto [bar, fake] = MakeBar();
  unsigned style = wsCaption | wsSysMenu | wsMinimizeBox | wsMaximizeBox;
  unsigned exStyle = wsExAppWindow;
  TAppBarCore::AdjustCreateStyles(style, exStyle);
  EXPECT_EQ(style, wsCaption);
  EXPECT_EQ(exStyle, wsExToolWindow);

  fake->FrameRefreshes = 0;
  bar->StyleForEdge(false, abeLeft);
  EXPECT_EQ(fake->StyleBits & (wsCaption | wsSysMenu), 0u);
  EXPECT_EQ(fake->FrameRefreshes, 1);
  bar->StyleForEdge(false, abeRight);
  EXPECT_EQ(fake->FrameRefreshes, 1) << "unchanged style, no refresh";
  fake->FullDrag = false;
  bar->StyleForEdge(true, abeFloat);
  EXPECT_EQ(fake->StyleBits & wsCaption, 0u) << "no proposal without full-window drag";
  bar->StyleForEdge(false, abeFloat);
  EXPECT_EQ(fake->StyleBits & (wsCaption | wsSysMenu), wsCaption | wsSysMenu);
}

TEST_F(AppBarCoreTest, CreationRegistersAndDestructionUnregisters) {
  auto [bar, fake] = MakeBar(false);
  fake->Window = {50, 60, 300, 400};
  bar->SetSlideTime(250);
  bar->HandleCreate();
  EXPECT_TRUE(Service.IsRegistered(bar.get()));
  EXPECT_TRUE(fake->TimerRunning);
  EXPECT_EQ(fake->TimerInterval, 250);
  EXPECT_EQ(bar->FloatLeft(), 50);
  EXPECT_EQ(bar->FloatTop(), 60);
  EXPECT_EQ(fake->PostedSizeMoves, 1);
  bar->SetSlideTime(300);
  EXPECT_EQ(fake->TimerInterval, 300);

  bar->SetAutoHide(true);
  bar->SetEdge(abeLeft);
  bar->HandleDestroy();
  EXPECT_FALSE(fake->TimerRunning);
  EXPECT_FALSE(Service.IsRegistered(bar.get()));
  EXPECT_EQ(bar->StoredEdge(), abeUnknown);
  TAppBarData query;
  query.uEdge = abeLeft;
  EXPECT_EQ(Service.Message(ABM_GETAUTOHIDEBAR, query), 0) << "the edge is free again";
}

TEST_F(AppBarCoreTest, PostedEndOfMoveTakesOverTheCurrentSize) {
  auto [bar, fake] = MakeBar();
  fake->Window = {10, 20, 310, 520};  // the window manager placed it elsewhere
  bar->HandleEnterSizeMove();
  bar->HandleExitSizeMove();
  EXPECT_EQ(bar->FloatRect(), (TRect{10, 20, 310, 520}));
  bar->SetEdge(abeLeft);
  fake->Window = {0, 0, 260, 768};
  bar->HandleEnterSizeMove();
  bar->HandleExitSizeMove();
  EXPECT_EQ(bar->VertDockSize(), 260);
}

}  // namespace
}  // namespace quellion
