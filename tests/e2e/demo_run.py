"""A demo program that an end-to-end script drives: started in its working directory with
its output in run.log there, waited on, and stopped; a failure prints the log's last lines
(less the loading's per-file chatter) and ends the script."""
import os
import re
import subprocess
import sys
import time


class DemoRun:
    def __init__(self, work):
        self.work = work
        self.process = None
        # Called before a failure ends the script, for what else it should show.
        self.on_failure = None

    def start(self, program):
        with open(os.path.join(self.work, "run.log"), "w") as out:
            self.process = subprocess.Popen(program, cwd=self.work, stdout=out, stderr=subprocess.STDOUT)

    def log_text(self):
        with open(os.path.join(self.work, "run.log"), errors="replace") as f:
            return f.read()

    def fail(self, message):
        print("FAILED: " + message)
        if os.path.exists(os.path.join(self.work, "run.log")):
            lines = [l for l in self.log_text().splitlines() if not re.match(r"^(-> |Shader |VAO )", l)]
            print("\n".join(lines[-25:]))
        if self.on_failure:
            try:
                self.on_failure()
            except Exception:
                pass
        sys.exit(1)

    def wait_for(self, test, what, seconds=30):
        """test()'s first true value; a failure when the demo ends or time runs out first."""
        end = time.time() + seconds
        while time.time() < end:
            value = test()
            if value:
                return value
            if self.process is not None and self.process.poll() is not None:
                self.fail("the demo ended (status %d) waiting for %s" % (self.process.returncode, what))
            time.sleep(0.05)
        self.fail("no %s within %d s" % (what, seconds))

    def running(self):
        return self.process is not None and self.process.poll() is None

    def stop(self):
        if self.running():
            self.process.terminate()
            self.process.wait(10)

    def run_case(self, case, finish=None):
        """Runs case(), then checks that the demo still plays and prints PASSED; whatever
        happens, finish() (when given) and stop() after."""
        try:
            case()
            if not self.running():
                self.fail("the demo ended")
            print("PASSED")
        finally:
            if finish:
                finish()
            self.stop()
