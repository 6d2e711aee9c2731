/**
 * Tells which program runs it, its arguments and the JVM's input arguments; sleep=MS waits, "until" FILE waits until the
 * file exists (60 s at most), exit=N ends with N.
 */
public class InProcessApp {
    public static void main(String[] args) throws Exception {
        System.out.println("command: " + ProcessHandle.current().info().command().orElse("?"));
        System.out.println("arguments: " + String.join("|", args));
        System.out.println("input: " + String.join("|",
                java.lang.management.ManagementFactory.getRuntimeMXBean().getInputArguments()));
        System.out.flush();
        for (String argument : args) {
            if (argument.startsWith("sleep=")) {
                Thread.sleep(Long.parseLong(argument.substring(6)));
            }
        }
        for (int i = 0; i + 1 < args.length; ++i) {
            if (args[i].equals("until")) {
                java.io.File signal = new java.io.File(args[i + 1]);
                for (int waited = 0; waited < 60000 && !signal.exists(); waited += 10) {
                    Thread.sleep(10);
                }
            }
        }
        for (String argument : args) {
            if (argument.startsWith("exit=")) {
                System.exit(Integer.parseInt(argument.substring(5)));
            }
        }
    }
}
