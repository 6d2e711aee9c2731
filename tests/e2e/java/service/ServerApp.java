import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

/** A server that runs until it is stopped: ARG.running says it runs, and its
 * shutdown hook writes ARG. */
public class ServerApp {
    public static void main(String[] args) throws Exception {
        Path hook = Paths.get(args[0]);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            try {
                Files.write(hook, "shutdown hook ran".getBytes(StandardCharsets.UTF_8));
            } catch (Exception e) {
                e.printStackTrace();
            }
        }));
        Files.write(Paths.get(args[0] + ".running"), "running".getBytes(StandardCharsets.UTF_8));
        Thread.sleep(Long.MAX_VALUE);
    }
}
