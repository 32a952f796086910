import os
import re

import pytest

import harness
import run32  # noqa: E402 (scripts/, on the path through harness)


def pytest_addoption(parser):
    parser.addoption('--flavour', action='append', default=[],
                     help='nt64, nt32 or win98; may be given more than once')
    parser.addoption('--part', default=None,
                     help='K/N: only the K-th of N runs of consecutive tests, for runs side by side')


def pytest_collection_modifyitems(config, items):
    part = config.getoption('part')
    if not part:
        return
    k, n = (int(x) for x in part.split('/'))
    if not 1 <= k <= n:
        raise pytest.UsageError(f'--part {part}: K must be 1 to N')
    # Consecutive blocks, so that the cases of one test, which share what
    # they compare against, mostly stay in one run.
    chosen = [item for i, item in enumerate(items) if i * n // len(items) == k - 1]
    config.hook.pytest_deselected(items=[item for item in items if item not in chosen])
    items[:] = chosen


def pytest_generate_tests(metafunc):
    if 'flavour' in metafunc.fixturenames:
        marker = metafunc.definition.get_closest_marker('flavours')
        allowed = list(marker.args if marker else harness.DEFAULT_FLAVOURS)
        allowed += harness.standin_flavours(allowed, metafunc.definition.get_closest_marker('standin_differs'))
        flavours = metafunc.config.getoption('flavour') or list(harness.DEFAULT_FLAVOURS)
        flavours = [f for f in flavours if f in allowed]
        metafunc.parametrize('flavour', flavours)


def pytest_configure(config):
    config.addinivalue_line('markers', 'flavours(*names): run only on these flavours')
    config.addinivalue_line('markers', 'standin_differs(reason): what the test shows needs the 32-bit '
                                       'tool; not run on the 64-bit stand-in')


def pytest_sessionstart(session):
    # The tool is a 32-bit program: on a machine that cannot run 32-bit x86
    # code, Wine cannot start it, and ctest reads 77 as "skipped". The 64-bit
    # stand-in flavours run there.
    flavours = session.config.getoption('flavour') or harness.DEFAULT_FLAVOURS
    needs_32bit = any(harness.FLAVOURS[f][0] != 'x64' for f in flavours)
    if needs_32bit and not os.environ.get(run32.MARK) and run32.mode() == 'emulated':
        # Started by hand on a machine that needs the emulator: the same
        # command again where it runs 32-bit programs, printing to our output.
        session.config.pluginmanager.getplugin('capturemanager').suspend_global_capture(in_=True)
        run32.reexec_if_needed()
    if needs_32bit and not harness.wineprefix.can_run_32bit():
        pytest.exit('skipped: this machine cannot run 32-bit x86 programs, so Wine cannot run '
                    'uninstall.exe here', returncode=harness.wineprefix.SKIPPED)


@pytest.fixture(scope='session')
def display():
    x = harness.Xvfb().start()
    yield x.display
    x.stop()


@pytest.fixture
def prefix(request, flavour, display):
    name = re.sub(r'[^A-Za-z0-9_.-]+', '_', request.node.name)
    p = harness.Prefix(flavour, name, display)
    yield p
    failed = getattr(request.node, 'rep_call', None) is not None and request.node.rep_call.failed
    if failed and os.environ.get('QBX_KEEP'):
        p.kill_server()
    else:
        p.close()


@pytest.hookimpl(tryfirst=True, hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    setattr(item, 'rep_' + rep.when, rep)


def pytest_sessionfinish(session, exitstatus):
    harness.finish_closing()
    # A file none of whose tests runs on the stand-in flavour collects nothing.
    if exitstatus == pytest.ExitCode.NO_TESTS_COLLECTED:
        session.exitstatus = harness.wineprefix.SKIPPED
